#include "data/DataModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QScopedValueRollback>

#include "platform/AppInfo.h"
#include "data/SessionContext.h"
#include "data/PasswordHash.h"
#include "data/ReconnectUi.h"
#include "data/VersionCheck.h"
#include "platform/Installed.h"
#include "platform/PlainMessage.h"
#include "speech/MessageDlg.h"
#include "speech/SpeechRoutines.h"

TDataModule1* DataModule1 = nullptr;
QPointer<QObject> ReconnectWindow;

using namespace sor;

TDataModule1::TDataModule1(const DbParams& params, QObject* owner)
    : QObject(owner),
      QueryQuery(UniConnection1, QStringLiteral("QueryQuery")),
      LoginQuery(UniConnection1, QStringLiteral("LoginQuery")),
      QueryClockServer(UniConnection1, QStringLiteral("QueryClockServer")),
      QVerGUID(UniConnection1, QStringLiteral("QVerGUID"))
{
    setObjectName(QStringLiteral("DataModule1"));
    UniConnection1.afterConnect = [this] { UniConnection1AfterConnect(&UniConnection1); };
    UniConnection1.connectionLost = [this](QObject* component, TConnLostCause cause, TRetryMode& mode) {
        UniConnection1ConnectionLost(&UniConnection1, component, cause, mode);
    };
    UniConnection1.error = [this](const EDbError& e, bool& fail) { UniConnection1Error(&UniConnection1, e, fail); };

    QueryClockServer.addLine(QStringLiteral("SELECT NOW() as dtsr "));

    TimerConnecting.setObjectName(QStringLiteral("TimerConnecting"));
    TimerConnecting.setInterval(1000);
    connect(&TimerConnecting, &QTimer::timeout, this, &TDataModule1::TimerConnectingTimer);

    UpdaterFolder = QCoreApplication::applicationDirPath();
    Installed = runsInstalled(UpdaterFolder);
    DataModuleCreate(params);
    if (!DataModule1)
        DataModule1 = this;
}

TDataModule1::~TDataModule1()
{
    TimerConnecting.stop();
    UniConnection1.close();
    dismissReconnectWindow();
    if (DataModule1 == this)
        DataModule1 = nullptr;
}

QString TDataModule1::updaterFileName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Updater.exe");
#else
    return QStringLiteral("Updater");
#endif
}

void TDataModule1::DataModuleCreate(const DbParams& params)
{
    UniConnection1.setParams(params);
}

bool TDataModule1::PrepareConnection()
{
    ReconnectWindow = nullptr;
    try {
        UniConnection1.open();
        AppOutdated = !VerifVerApp();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TDataModule1::VerifVerApp()
{
    QueryQuery.setSql({QStringLiteral("SELECT VerSorventa"),
                       QStringLiteral("FROM  Version ")});
    QueryQuery.open();

    const TiaVer program = AppVerToIAVer(appVersion());
    const TiaVer required = AppVerToIAVer(trimBlanks(QueryQuery.asString(QStringLiteral("VerSorventa"))));
    if (VerWeight(program) >= VerWeight(required))
        return true;

    const QString outdated = QStringLiteral("Вы используете устаревшую версию программы (") + VerToText(program);
    if (Installed) {
        TellOutdated(outdated + QStringLiteral("). Обновите пакет sorventa."));
        return false;
    }
    const QString updater = QDir(UpdaterFolder).filePath(updaterFileName());
    if (!QProcess::startDetached(updater, QStringList(), QString()))
        TellOutdated(outdated + QStringLiteral("). Обновите программу."));
    return false;
}

void TDataModule1::TellOutdated(const QString& text)
{
    // This comes before the speech settings are loaded: bring them up for the
    // notice, so that a player who cannot see the box hears what to do.
    const std::unique_ptr<QObject> speech = loadEarlySpeech();
    SpeechOut(text, true);
    PlainMessageBox(text);
    SpeechStop();
}

QString TDataModule1::md5(const QString& s) const
{
    return passwordHash(s);
}

void TDataModule1::UniConnection1AfterConnect(QObject*)
{
    dismissReconnectWindow();
}

void TDataModule1::dismissReconnectWindow()
{
    if (!ReconnectWindow)
        return;
    ReconnectUi& ui = reconnectUi();
    ui.enableWindows(P);
    P.clear();
    QObject* w = ReconnectWindow;
    ReconnectWindow = nullptr;
    ui.closeReconnectWindow(w);
}

void TDataModule1::keepTrying()
{
    // Not restarted when it runs: operations failing in quick succession must not
    // keep pushing the next attempt away.
    if (!TimerConnecting.isActive())
        TimerConnecting.start();
}

void TDataModule1::UniConnection1ConnectionLost(QObject*, QObject*, TConnLostCause, TRetryMode& RetryMode)
{
    keepTrying();
    if (!ReconnectWindow) {
        ReconnectUi& ui = reconnectUi();
        QObject* w = ui.createReconnectWindow();
        ReconnectWindow = w;
        P = ui.disableOtherWindows(w);
        ui.showReconnectWindow(w);
    }
    // Neither reconnect nor repeat: the error is reported, the caller rolls back.
    RetryMode = rmRaise;
}

void TDataModule1::UniConnection1Error(QObject*, const EDbError& E, bool& Fail)
{
    const QString attention = QStringLiteral("Внимание! ");
    // While the reconnect window shows, or while the timer is trying, the player
    // already knows that the connection is gone.
    const bool lossKnown = ReconnectWindow || reconnecting_;
    switch (E.number()) {
    case erDuplicateEntry: {
        const QString what =
            QueryQuery.sqlText().contains(QStringLiteral("INSERT INTO users "))
                ? QStringLiteral("Игрок с таким адресом электронной почты уже зарегистрирован.")
                : QStringLiteral("Такая запись уже существует!");
        MyMessageDlg(nullptr, QStringLiteral("Ошибка сохранения данных.\r\n") + what, attention, mbOK);
        Fail = false;
        break;
    }
    case erCannotConnect:
        if (!lossKnown)
            MyMessageDlg(nullptr, QStringLiteral("Отсутствует связь с базой данных!"), attention, mbOK);
        Fail = false;
        break;
    case erNotVerified:
        // A server that cannot show it is the game's: nothing of the player's went
        // to it. The reconnect attempts take it as a server that is not there.
        if (!lossKnown)
            MyMessageDlg(nullptr, QStringLiteral("Не удалось проверить подлинность сервера игры."), attention, mbOK);
        Fail = false;
        break;
    case erConnectionLost:
        if (!lossKnown) {
            keepTrying();
            MyMessageDlg(nullptr, QStringLiteral("Потеряна связь с Интернет (базой данных)!"), attention, mbOK);
        }
        Fail = false;
        break;
    default:
        MyMessageDlg(nullptr,
                     QStringLiteral("Ошибка БД! ") + QString::number(E.number()) + QLatin1Char(' ') + E.message(),
                     QStringLiteral("Ошибка! "), mbOK);
        break;
    }
}

void TDataModule1::TimerConnectingTimer()
{
    // A message box of the last attempt may still be open, or the server not
    // answered yet; one attempt at a time.
    if (reconnecting_ || UniConnection1.connecting())
        return;
    if (UniConnection1.connected()) {
        TimerConnecting.stop();
        return;
    }
    // The connect runs off the GUI thread: the reconnect window, its button, the
    // speech and the tour clock go on while the server answers or stays silent.
    {
        const QScopedValueRollback<bool> attempt(reconnecting_, true);
        try {
            UniConnection1.open();
        } catch (const std::exception&) {
            // reported (or quiet) already; the next tick tries again
        }
    }
    if (UniConnection1.connected())
        TimerConnecting.stop();
}
