#pragma once
#include <QString>

namespace sor {

// Makes the keyboard layout with this identifier ("00000409": English, United
// States) the program's input layout, so that e-mail addresses and passwords are
// typed in Latin letters. Done on Windows only: on X11 the layout belongs to the
// whole desktop, and switching it would change the player's other programs too,
// so here it does nothing.
void activateKeyboardLayout(const QString& layoutId);

}  // namespace sor
