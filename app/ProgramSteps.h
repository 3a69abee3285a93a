#pragma once
// The real start-up steps of the program: the windows and the data module.

#include <memory>

#include "app/Startup.h"

class QApplication;
class TfrMain;
class TfrSpeechSet;

namespace sor {

class ProgramSteps : public StartupSteps
{
public:
    explicit ProgramSteps(QApplication& app);
    ~ProgramSteps() override;

    void initApplication() override;
    void createDataModule() override;
    bool prepareConnection() override;
    void terminate() override;
    void createSpeechSet() override;
    void createLoginWindow() override;
    bool showLogin() override;
    int showLoginModal() override;
    void createMainWindow() override;
    void freeLoginWindow() override;
    int runMessageLoop() override;

private:
    QApplication& app_;
    bool terminated_ = false;
    std::unique_ptr<TfrSpeechSet> speechSet_;  // frSpeechSet, for the whole run
    std::unique_ptr<TfrMain> mainWindow_;      // frMain, for the whole run (goes first)
};

}  // namespace sor
