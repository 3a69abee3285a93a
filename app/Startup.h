#pragma once
// The start-up sequence: connect, check the version, load speech, log in, and
// only then open the game window. Each step is a seam so that the order and the
// roads out can be driven with fakes.

namespace sor {

class StartupSteps
{
public:
    virtual ~StartupSteps() = default;

    virtual void initApplication() = 0;    // 1: title, taskbar ownership
    virtual void createDataModule() = 0;   // 2
    virtual bool prepareConnection() = 0;  // 3: connect and check the version; sets AppOutdated
    virtual void terminate() = 0;          // ask the application to end (steps 4 and 8)
    virtual void createSpeechSet() = 0;    // 5: speech settings, voice, speech switch
    virtual void createLoginWindow() = 0;  // 6
    virtual bool showLogin() = 0;          // 7: false when the stored login logged the player in
    virtual int showLoginModal() = 0;      // 7: the login window's modal result
    virtual void createMainWindow() = 0;   // 8
    virtual void freeLoginWindow() = 0;    // 9
    virtual int runMessageLoop() = 0;      // 10: returns at once when there is no main window
};

// Runs steps 1 to 10 in order and returns the exit code of the message loop.
int runStartup(StartupSteps& steps);

}  // namespace sor
