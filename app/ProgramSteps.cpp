#include "app/ProgramSteps.h"

#include <QApplication>
#include <QStandardPaths>

#include "accounts/LoginWindow.h"
#include "platform/AppInfo.h"
#include "app/UiServices.h"
#include "data/DataModule.h"
#include "game/MainWindow.h"
#include "platform/Process.h"
#include "speech/EspeakEngine.h"
#include "speech/SpeechDispatcherEngine.h"
#include "speech/SpeechSettings.h"
#include "speech/SpeechSettingsWindow.h"

namespace sor {
namespace {

// settings.ini beside the program, or in the player's configuration folder for
// an installed program (or one whose folder cannot be written).
QString programSpeechSettingsFile()
{
    return speechSettingsFile(QCoreApplication::applicationDirPath(),
                              QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                              QString::fromLocal8Bit(config::kInstalledBinDir));
}

}  // namespace

ProgramSteps::ProgramSteps(QApplication& app) : app_(app) {}

ProgramSteps::~ProgramSteps() = default;

void ProgramSteps::initApplication()
{
    QApplication::setApplicationName(QStringLiteral("Sorventa"));
    QApplication::setOrganizationName(QStringLiteral("SorventaTavrek"));
    QApplication::setApplicationVersion(appVersion());
    // Only the main window has a taskbar entry; the program ends when it closes.
    app_.setQuitOnLastWindowClosed(true);
    installUiServices();
    // A notice before the speech settings window exists (an outdated program) is
    // read out in the player's voice; the settings are not written for it.
    setEarlySpeechLoader([]() -> std::unique_ptr<QObject> {
        auto speech = std::make_unique<SpeechSettings>(std::make_unique<EspeakEngine>(),
                                                       std::make_unique<SpeechDispatcherEngine>(),
                                                       programSpeechSettingsFile());
        speech->keepFileAsItIs();
        return speech;
    });
}

void ProgramSteps::createDataModule()
{
    // The compiled-in game server; the application owns the module until the end.
    DataModule1 = new TDataModule1(DbParams(), &app_);
}

bool ProgramSteps::prepareConnection()
{
    return DataModule1->PrepareConnection();
}

void ProgramSteps::terminate()
{
    terminated_ = true;
}

void ProgramSteps::createSpeechSet()
{
    speechSet_ = TfrSpeechSet::createWithRealEngines(programSpeechSettingsFile());
    // The voice is chosen before the first window speaks. speech-dispatcher
    // lists its voices in a second or two; a login window shown meanwhile would
    // have its heading held back and then dropped by the focus announcement
    // that follows it, so the player would never hear which window this is.
    speechSet_->settings().waitUntilReady();
}

void ProgramSteps::createLoginWindow()
{
    // No parent: the window has its own taskbar entry while no main window exists.
    frmInput = new TfrmInput();
}

bool ProgramSteps::showLogin()
{
    return frmInput->ShowLogin();
}

int ProgramSteps::showLoginModal()
{
    return frmInput->exec();
}

void ProgramSteps::createMainWindow()
{
    mainWindow_ = std::make_unique<TfrMain>();
    // Closing the main window ends the program, whatever else is still open.
    QObject::connect(mainWindow_.get(), &TfrMain::closed, &app_, &QCoreApplication::quit, Qt::QueuedConnection);
    mainWindow_->show();
    // The keyboard belongs to the game at once: the player must not have to
    // find the window first (the hot keys work anyway, the menu keys need it).
    mainWindow_->raise();
    mainWindow_->activateWindow();
}

void ProgramSteps::freeLoginWindow()
{
    delete frmInput;
    frmInput = nullptr;
}

int ProgramSteps::runMessageLoop()
{
    int code = 0;
    // The loop runs while the main window is there to close.
    if (!terminated_ && mainWindow_)
        code = app_.exec();
    runProgramEndHooks();
    return code;
}

}  // namespace sor
