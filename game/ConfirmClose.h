#pragma once
// The question before the program closes, asked by the main window and by the
// start prompt alike.

class QObject;

namespace sor {

// Asks the player "Закрыть прогграмму?" (Yes/No) over `owner`; true on Yes.
bool confirmProgramClose(QObject* owner);

}  // namespace sor
