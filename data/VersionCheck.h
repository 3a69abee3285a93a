#pragma once
// The client's version against the version the server asks for.

#include <QString>
#include <array>
#include <stdexcept>

namespace sor {

// A version text that is not four whole decimal numbers separated by points.
class EConvertError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Text with the characters of codes 0 to 32 removed at both ends.
QString trimBlanks(const QString& s);

}  // namespace sor

// A parsed version: element 3 holds the first (leftmost) number, element 0 the fourth.
using TiaVer = std::array<int, 4>;

// "a.b.c.d" (blanks around the numbers allowed) -> {d, c, b, a}. Throws
// sor::EConvertError when a part is not a whole decimal number, so that a text
// with fewer or more than four numbers fails too.
TiaVer AppVerToIAVer(const QString& StrVer);

// first x 1000 + second x 100 + third x 10 + fourth: a number of 10 or more carries
// into the next place ("3.0.10.0" weighs as much as "3.1.0.0").
qint64 VerWeight(const TiaVer& v);

// The four numbers, first to fourth, joined by ".".
QString VerToText(const TiaVer& v);
