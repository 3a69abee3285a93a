#pragma once
// The Russian words that follow a number of minutes or seconds, chosen by the
// number's last digit: "минута ", "минуты ", "минут " / "секунда ",
// "секунды ", "секунд "; empty outside 0..9.

#include <QString>

namespace sor {

QString SufMinToStrPadegh(int iMin);
QString SufSecToStrPadegh(int iSec);

}  // namespace sor
