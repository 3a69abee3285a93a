#pragma once
#include <QString>

namespace sor {

// The password hash stored in users.password: MD5 over one byte per UTF-16 unit
// (a unit from 128 up counts as "?"), as 32 lower-case hexadecimal digits. The data
// module's md5 and the login window's md5 both call this.
QString passwordHash(const QString& password);

}  // namespace sor
