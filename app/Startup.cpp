#include "app/Startup.h"

#include "data/SessionContext.h"

namespace sor {

int runStartup(StartupSteps& steps)
{
    steps.initApplication();
    steps.createDataModule();
    if (steps.prepareConnection()) {
        if (AppOutdated) {
            // The version check has started the updater or told the player to update.
            steps.terminate();
        } else {
            steps.createSpeechSet();
            steps.createLoginWindow();
            bool loggedIn = true;
            if (steps.showLogin())
                loggedIn = steps.showLoginModal() == 1;
            if (loggedIn)
                steps.createMainWindow();
            else
                steps.terminate();
            steps.freeLoginWindow();
        }
    }
    return steps.runMessageLoop();
}

}  // namespace sor
