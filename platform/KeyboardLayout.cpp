#include "platform/KeyboardLayout.h"

void sor::activateKeyboardLayout(const QString&)
{
    // Nothing to do on X11 (see the header).
}
