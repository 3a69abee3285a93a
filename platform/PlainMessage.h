#pragma once
// The platform's plain message box: one OK button, titled with the application
// title, not spoken. Used only for internal faults and the outdated-version notice.

#include <QString>
#include <functional>

namespace sor {

void PlainMessageBox(const QString& text);

// The windows library installs the real box; tests install a recorder.
void setPlainMessageImpl(std::function<void(const QString&)> impl);

}  // namespace sor
