#pragma once

namespace sor {

// Connects the logic's seams (plain boxes, the spoken message box, ...) to
// the real windows. Called once by the program, and by GUI tests that want them.
void installUiServices();

}  // namespace sor
