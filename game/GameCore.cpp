#include "game/GameCore.h"

#include <exception>

#include "app/SessionContext.h"
#include "data/DataModulUnit.h"
#include "data/DbErrors.h"
#include "platform/Hold.h"
#include "platform/PlainMessage.h"
#include "platform/Process.h"
#include "speech/MessageDlg.h"

namespace sor {
namespace {

TDataModule1& dataModule()
{
    // The program creates the data module before any window; so does every test.
    Q_ASSERT(DataModule1);
    return *DataModule1;
}

// "Type  message" of a failed session check.
QString failureText(const std::exception& e)
{
    if (const auto* abort = dynamic_cast<const EDbAbort*>(&e))
        return QStringLiteral("EDbAbort  ") + abort->cause().message();
    if (const auto* error = dynamic_cast<const EDbError*>(&e))
        return QStringLiteral("EDbError  ") + error->message();
    return QStringLiteral("Exception  ") + QString::fromUtf8(e.what());
}

}  // namespace

QString sessionTakenOverText()
{
    return QStringLiteral("Сессия не действительна!\n\r"
                          "Под Вашим логином и паролем произведен вход в другой копии программы!\n\r"
                          "Эта копия программы будет закрыта.");
}

TGame::TGame(TGameView& view, QObject* parent) : QObject(parent), view_(view)
{
    setObjectName(QStringLiteral("Game"));
    // The names are known from the start; activation assigns them again.
    AssignTableNames();

    MMTimer1 = new TMMTimer(this);
    MMTimer1->setObjectName(QStringLiteral("MMTimer1"));
    MMTimer1->SetEnabled(false);
    MMTimer1->SetOnTimer(TMMTimer::OnGuiThread([this](QObject* Sender) { MMTimer1Timer(Sender); }));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TGame::Timer1Timer);
}

TGame::~TGame()
{
    // No tick may reach a game that is going.
    MMTimer1->SetEnabled(false);
    Timer1->stop();
}

void TGame::AssignTableNames()
{
    sGamesTable = QStringLiteral("Sor_Games");
    sQuestionsTable = QStringLiteral("Sor_questions");
    sStatusField = QStringLiteral("GameStatus");
}

void TGame::OpenStatusRow()
{
    TDbQuery& q = dataModule().LoginQuery;
    q.close();
    q.clearSql();
    q.addLine(QStringLiteral("SELECT * "));
    q.addLine(QStringLiteral("FROM Sor_users"));
    q.addLine(QStringLiteral("WHERE UserID=:UserID"));
    q.bindLargeInt(QStringLiteral("UserID"), CurrentUserID);
    q.open();
}

bool TGame::StatusRowLoaded() const
{
    const TDbQuery& q = dataModule().LoginQuery;
    return q.active() && q.hasField(sStatusField);
}

int TGame::PoleStatus() const
{
    if (!StatusRowLoaded())
        return 0;
    return dataModule().LoginQuery.asInteger(sStatusField);
}

void TGame::SetPoleStatus(int v)
{
    if (v == PoleStatus())
        return;
    TDataModule1& dm = dataModule();
    TDbQuery& q = dm.QueryQuery;
    q.close();
    q.clearSql();
    q.addLine(QStringLiteral("UPDATE  Sor_users "));
    q.addLine(QStringLiteral("SET ") + sStatusField + QStringLiteral("= :stat "));
    q.addLine(QStringLiteral("WHERE UserID=:UserID"));
    q.bindInteger(QStringLiteral("stat"), v);
    q.bindLargeInt(QStringLiteral("UserID"), CurrentUserID);
    // Rolled back on failure; the game goes on with the state held in memory.
    dm.UniConnection1.execInTransaction(q);
}

bool TGame::VerMyGUID()
{
    TDataModule1& dm = dataModule();
    try {
        dm.LoginQuery.close();
        dm.QVerGUID.close();
        dm.QVerGUID.open();
        dm.LoginQuery.open();
    } catch (const std::exception& e) {
        PlainMessageBox(failureText(e));
        // Back to a usable state: connected, the session check and the cached row
        // open again. The connection stays open for the next action: it would not
        // come back by itself.
        try {
            dm.UniConnection1.open();
            dm.LoginQuery.close();
            dm.QVerGUID.close();
            dm.QVerGUID.open();
            dm.LoginQuery.open();
        } catch (const std::exception&) {
            // reported by the connection; this step stops all the same
        }
        return false;
    }
    if (dm.QVerGUID.isEmpty()) {
        // The same account has logged in elsewhere: only the newest copy may play.
        MyMessageDlg(view_.messageOwner(), sessionTakenOverText(), QStringLiteral("Внимание! "), mbOK);
        haltProgram();
    }
    return true;
}

void TGame::EnterStoredState()
{
    if (!StatusRowLoaded()) {
        try {
            OpenStatusRow();
        } catch (const std::exception&) {
            // reported by the connection; entering a state from a missing row
            // could offer a new game over one in progress
            return;
        }
    }
    const int s = PoleStatus();
    if (s <= gStart)
        SetStGame(gStart);
    else if (s == gRunning || s > gEndQuest)
        SetStGame(gRunning);  // resume
    else
        SetStGame(TStatusGame(s));  // the report is shown again, then a new game is offered
}

void TGame::SetStGame(TStatusGame v)
{
    // Stored before the transition's action, so that a program stopped in the
    // middle of it comes back to the same place.
    FStGame = v;
    SetPoleStatus(v);
    // The transition's action follows here with the game's tours.
}

QString TGame::LedText(int seconds)
{
    const int s = qMax(0, seconds);
    return QString::asprintf("%.2d:%.2d", s / 60, s % 60);
}

void TGame::SetiLedTimer(int s)
{
    FTimeLevel = qMax(0, s);
    view_.setLedCaption(LedText(FTimeLevel));
}

void TGame::SetMTimerEnabled(bool b)
{
    FMTimerEnabled = b;
    MMTimer1->SetEnabled(b);
    if (b)
        Timer1->start();
}

void TGame::MMTimer1Timer(QObject*)
{
    if (FTimeLevel > 0)
        SetiLedTimer(FTimeLevel - 1);
    if (FTimeLevel <= 0)
        SetMTimerEnabled(false);
}

void TGame::Timer1Timer()
{
    if (FTimeLevel == 0) {
        Timer1->stop();
        SetStGame(gEndTime);
    }
}

bool TGame::ChooseAnswer(const QString& caption)
{
    // A choice during the hold is ignored, not queued.
    if (PauseActive())
        return false;
    const QString text = caption.mid(3);
    if (FStGame != gRunning || bNoQuestionYet)
        return false;
    GameStep(text);
    return true;
}

void TGame::GameStep(const QString& sAnswer)
{
    sLastAnswer = sAnswer;
    if (!VerMyGUID())
        return;
    // The answer's verdict, the tour check and the next question follow here
    // with the game's tours.
}

void TGame::CloseDown()
{
    MMTimer1->SetEnabled(false);
}

}  // namespace sor
