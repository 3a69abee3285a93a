#include "game/GameCore.h"

#include <QLocale>
#include <QPointer>

#include <exception>
#include <stdexcept>

#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "data/DbErrors.h"
#include "data/ServerClock.h"
#include "game/GameRandom.h"
#include "game/NumberWords.h"
#include "platform/Hold.h"
#include "platform/PlainMessage.h"
#include "platform/Process.h"
#include "speech/MessageDlg.h"
#include "speech/SpeechRoutines.h"

namespace sor {
namespace {

TDataModule1& dataModule()
{
    // The program creates the data module before any window; so does every test.
    Q_ASSERT(DataModule1);
    return *DataModule1;
}

QString tourStartField(int tour)
{
    return QStringLiteral("Time_lvl") + QString::number(tour);
}

QString tourEndField(int tour)
{
    return tourStartField(tour) + QStringLiteral("_end");
}

// The cached row is not there to be read. No statement failed, so nobody has
// told the player.
class EStatusRowMissing : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

}  // namespace

// Counts a game step under way; it does not touch a game that went meanwhile
// (the window, and the game with it, may go during the hold).
class StepScope
{
public:
    explicit StepScope(TGame* game) : game_(game) { ++game->iStepDepth; }
    ~StepScope()
    {
        if (game_)
            --game_->iStepDepth;
    }
    StepScope(const StepScope&) = delete;
    StepScope& operator=(const StepScope&) = delete;

private:
    QPointer<TGame> game_;
};

namespace {

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
    q.setSql({QStringLiteral("SELECT * "),
              QStringLiteral("FROM Sor_users"),
              QStringLiteral("WHERE UserID=:UserID")});
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
    if (bClosing || v == PoleStatus())
        return;
    TDataModule1& dm = dataModule();
    TDbQuery& q = dm.QueryQuery;
    q.setSql({QStringLiteral("UPDATE  Sor_users "),
              QStringLiteral("SET ") + sStatusField + QStringLiteral("= :stat "),
              QStringLiteral("WHERE UserID=:UserID")});
    q.bindInteger(QStringLiteral("stat"), v);
    q.bindLargeInt(QStringLiteral("UserID"), CurrentUserID);
    // Rolled back on failure; the game goes on with the state held in memory.
    dm.UniConnection1.execInTransaction(q);
}

bool TGame::VerMyGUID()
{
    TDataModule1& dm = dataModule();
    const auto check = [&] {
        dm.LoginQuery.close();
        dm.QVerGUID.close();
        dm.QVerGUID.open();
        dm.LoginQuery.open();
    };
    try {
        check();
    } catch (const std::exception& e) {
        PlainMessageBox(failureText(e));
        // Back to a usable state: connected, the session check and the cached row
        // open again. The connection stays open for the next action: it would not
        // come back by itself.
        try {
            dm.UniConnection1.open();
            check();
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
    if (bClosing)
        return;
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
    // A program that is quitting changes no state: the next start finds the
    // game as the player left it.
    if (bClosing)
        return;
    // Stored before the transition's action, so that a program stopped in the
    // middle of it comes back to the same place.
    FStGame = v;
    ++iTransitions;
    SetPoleStatus(v);
    bool reportShown = false;
    switch (v) {
    case gStart:
        AskStartGame();
        break;
    case gRunning:
        GameStep(QString());
        break;
    case gEndTime:
        reportShown = ShowGameResult(0);
        break;
    case gEndQuest:
        reportShown = ShowGameResult(1);
        break;
    case gNot:
        break;
    }
    if (v == gEndTime || v == gEndQuest) {
        // Only a report the player has seen makes way for a new game; one that
        // could not be shown is offered again by the stored end state.
        if (!reportShown || bClosing)
            return;
        FStGame = gStart;
        ++iTransitions;
        SetPoleStatus(gStart);
        AskStartGame();
    }
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
    if (bClosing) {
        Timer1->stop();  // a tick that was already on its way
        return;
    }
    if (FTimeLevel != 0)
        return;
    // A step under way (its hold, a tour's start prompt, a message) judges the
    // time itself when it goes on; ending the game under it would leave the
    // step to carry on with a game that is over. Looked at again in 100 ms.
    if (iStepDepth > 0)
        return;
    // Nor under a message (the close question, say): its report could not be
    // shown while another box is open, and would be lost. Once it closes.
    if (messageDlgOpen())
        return;
    Timer1->stop();
    if (FStGame == gRunning)
        SetStGame(gEndTime);
}

// ---- tours ----------------------------------------------------------------------

QDateTime TGame::CachedStamp(const QString& field) const
{
    if (!StatusRowLoaded())
        throw EStatusRowMissing("LoginQuery: the player's row is not loaded");
    return dataModule().LoginQuery.asDateTime(field);
}

void TGame::ReopenStatusRow()
{
    TDbQuery& q = dataModule().LoginQuery;
    q.close();
    q.open();
}

bool TGame::StampTour(const QString& field)
{
    if (bClosing)
        return false;
    TDataModule1& dm = dataModule();
    TDbQuery& q = dm.QueryQuery;
    q.setSql({QStringLiteral("UPDATE  Sor_users "),
              QStringLiteral("SET ") + field + QStringLiteral("= NOW() "),
              QStringLiteral("WHERE UserID=:UserID")});
    q.bindLargeInt(QStringLiteral("UserID"), CurrentUserID);
    return dm.UniConnection1.execInTransaction(q);
}

bool TGame::SetTurCurent(int n)
{
    if (n < 1 || n > 3) {
        PlainMessageBox(QStringLiteral("Недопустимое значение тура"));
        return false;
    }
    if (bClosing)
        return false;

    // A tour that never started waits for the player's start.
    if (n > 1 && !CachedStamp(tourStartField(n)).isValid()) {
        const QString caption = QStringLiteral("Начать ") + QString::number(n) + QStringLiteral("-й тур");
        if (!PromptStarted(caption))
            return false;
    }
    sTurStartField = tourStartField(n);
    sTurEndField = tourEndField(n);
    FTur = n;
    view_.setTourCaption(QStringLiteral("Тур №") + QString::number(n));

    TDataModule1& dm = dataModule();
    TDbQuery& q = dm.QueryQuery;
    q.setSql({QStringLiteral("SELECT *, NOW() AS dts FROM Sor_setttings")});
    q.open();
    const int d = q.asInteger(QStringLiteral("level") + QString::number(n));
    LoginServerTime = q.asDateTime(QStringLiteral("dts"));

    const QDateTime start = CachedStamp(sTurStartField);
    const QDateTime end = CachedStamp(sTurEndField);
    if (start.isValid() && end.isValid()) {
        SetiLedTimer(0);
    } else if (start.isValid()) {
        // The clock ran on the server while nobody looked.
        const qint64 e = serverSecondsApart(LoginServerTime, start);
        SetiLedTimer(int(qMax<qint64>(0, qint64(d) - e)));
    } else {
        SetiLedTimer(d);
        StampTour(sTurStartField);  // rolled back on failure, nothing more
    }
    return true;
}

int TGame::CheckTur(int tur)
{
    int note = 0;
    bTurCheckReported = false;
    iTurAnswers = CountTurAnswers(tur);
    try {
        (void)CachedStamp(tourStartField(tur));
    } catch (const std::exception&) {
        note = -2;
        // One attempt to get the row back: connect afresh and reopen it.
        TDataModule1& dm = dataModule();
        dm.UniConnection1.close();
        try {
            dm.UniConnection1.open();
            ReopenStatusRow();
        } catch (const std::exception&) {
            bTurCheckReported = true;  // by the connection
            dm.UniConnection1.close();
        }
    }
    if (FTimeLevel == 0)
        note = 1;
    // A tour ends after its 21st answer, also when its time is up with it.
    if (iTurAnswers >= 21)
        note = 2;
    return note;
}

void TGame::CloseTur(int tur)
{
    sTurEndField = tourEndField(tur);
    SetMTimerEnabled(false);
    if (bClosing || tur < 1 || tur > 3)
        return;
    if (CachedStamp(sTurEndField).isValid())
        return;  // stamped once only
    dataModule().LoginQuery.close();
    StampTour(sTurEndField);
    try {
        dataModule().LoginQuery.open();
    } catch (const std::exception&) {
        // reported; the next tour check finds the row missing and tries again
    }
}

// ---- questions and answers ------------------------------------------------------

int TGame::CountTurAnswers(int tour)
{
    TDbQuery& q = dataModule().QueryQuery;
    const QString& g = sGamesTable;
    const QString& qs = sQuestionsTable;
    q.setSql({QStringLiteral("SELECT ") + g + QStringLiteral(".* FROM ") + g + QStringLiteral(" INNER JOIN ") + qs +
              QStringLiteral(" ON ") + g + QStringLiteral(".QuestID=") + qs + QStringLiteral(".Id WHERE (") + g +
              QStringLiteral(".QTur=") + QString::number(tour) + QStringLiteral(")AND(") + g +
              QStringLiteral(".SorUserID=:SorUserID)")});
    q.bindLargeInt(QStringLiteral("SorUserID"), CurrentUserID);
    q.open();
    return q.recordCount();
}

void TGame::LoadQuestion(int level)
{
    TDbQuery& q = dataModule().QueryQuery;
    const QString& g = sGamesTable;
    const QString& qs = sQuestionsTable;
    // The questions of the level that this player has not answered in this game,
    // each once, however many other players have answered it.
    q.setSql({QStringLiteral("SELECT ") + qs + QStringLiteral(".* FROM ") + qs +
              QStringLiteral(" WHERE (NOT EXISTS (SELECT 1 FROM ") + g + QStringLiteral(" WHERE (") + g +
              QStringLiteral(".QuestID = ") + qs + QStringLiteral(".Id) AND (") + g +
              QStringLiteral(".SorUserID=:SorUserID))) AND qlevel=:lvl")});
    q.bindLargeInt(QStringLiteral("SorUserID"), CurrentUserID);
    q.bindInteger(QStringLiteral("lvl"), level);
    q.open();
    const int n = q.recordCount();

    TGameRandom rnd;
    rnd.Randomize();
    (void)rnd.Random(n);
    rnd.Randomize();
    const int k = rnd.Random(n);
    q.first();
    q.moveBy(k);

    CurQuestion.iID = q.asInteger(QStringLiteral("Id"));
    CurQuestion.sQuestion = q.asString(QStringLiteral("Question"));
    CurQuestion.sVar1 = q.asString(QStringLiteral("var1"));
    CurQuestion.sVar2 = q.asString(QStringLiteral("var2"));
    CurQuestion.sVar3 = q.asString(QStringLiteral("var3"));
    CurQuestion.sVar4 = q.asString(QStringLiteral("var4"));
    CurQuestion.iQlevel = q.asInteger(QStringLiteral("qlevel"));
}

bool TGame::SaveAnswer(const QString& text)
{
    // The last stored variant that reads the same; 4 is the right one.
    int qvar = 0;
    const QString* vars[] = {&CurQuestion.sVar1, &CurQuestion.sVar2, &CurQuestion.sVar3, &CurQuestion.sVar4};
    for (int i = 0; i < 4; ++i)
        if (text == *vars[i])
            qvar = i + 1;
    const bool right = text == CurQuestion.sVar4;

    TDataModule1& dm = dataModule();
    TDbQuery& q = dm.QueryQuery;
    q.setSql({QStringLiteral("INSERT INTO ") + sGamesTable, QStringLiteral(" (QuestID, QVar, QTur, SorUserID)"),
              QStringLiteral("VALUES (:QuestID, :QVar, :QTur, :SorUserID)")});
    q.bindInteger(QStringLiteral("QuestID"), CurQuestion.iID);
    q.bindInteger(QStringLiteral("QVar"), qvar);
    q.bindInteger(QStringLiteral("QTur"), FTur);
    q.bindLargeInt(QStringLiteral("SorUserID"), CurrentUserID);
    bAnswerStored = dm.UniConnection1.execInTransaction(q);
    if (!bAnswerStored) {
        // Not stored; the verdict stands and the game goes on.
        try {
            ReopenStatusRow();
        } catch (const std::exception&) {
            // reported by the connection
        }
    }
    return right;
}

void TGame::ResetGame()
{
    view_.setQuestionCaption(QString());
    for (int n = 1; n <= 4; ++n)
        view_.setAnswerCaption(n, QString());

    TDataModule1& dm = dataModule();
    TDbQuery& q = dm.QueryQuery;
    const QString zero = QStringLiteral("= '0000-00-00 00:00:00'");
    // Rolled back on failure; the game starts all the same.
    dm.UniConnection1.runTransaction([&] {
        q.setSql({QStringLiteral("UPDATE  Sor_users "),
                  QStringLiteral("SET ") + tourStartField(1) + zero + QStringLiteral(", "),
                  tourStartField(2) + zero + QStringLiteral(", "),
                  tourStartField(3) + zero + QStringLiteral(", "),
                  tourEndField(1) + zero + QStringLiteral(", "),
                  tourEndField(2) + zero + QStringLiteral(", "),
                  tourEndField(3) + zero,
                  QStringLiteral("WHERE UserID=:UserID")});
        q.bindLargeInt(QStringLiteral("UserID"), CurrentUserID);
        q.execute();
        q.setSql({QStringLiteral("DELETE FROM ") + sGamesTable + QStringLiteral(" WHERE SorUserID=:SorUserID")});
        q.bindLargeInt(QStringLiteral("SorUserID"), CurrentUserID);
        q.execute();
    });
}

// ---- the game's flow --------------------------------------------------------------

void TGame::AskStartGame()
{
    if (bClosing)
        return;
    VerMyGUID();  // a taken-over login ends here; a failed check does not stop the offer
    if (view_.startPromptOpen())
        return;  // entered again while the prompt is open
    // The last game's answers and stamps stay until the player starts a new one.
    if (!PromptStarted(QStringLiteral("Начать игру")))
        return;
    ResetGame();
    SetStGame(gRunning);
}

bool TGame::PromptStarted(const QString& caption)
{
    if (bClosing)
        return false;
    const QPointer<TGame> self(this);
    const int result = view_.showStartPrompt(caption);
    if (result == mrCancel)
        haltProgram();
    if (!self)
        return false;  // the window, and the game with it, went meanwhile
    // Quitting confirmed while the prompt was up: whatever it gave, the
    // program that is quitting starts nothing.
    if (bClosing)
        return false;
    if (result == mrOk)
        return true;
    // Not shown, and not because the program is quitting: the player would be
    // left waiting for a prompt that never comes.
    StepFailed();
    return false;
}

void TGame::StopClockAfterFailedStep()
{
    // A step cut short may have set up a closed tour (its clock at zero) on its
    // way to the next one, and Timer1 would take that for time over and end a
    // game in progress.
    SetMTimerEnabled(false);
    Timer1->stop();
}

void TGame::StepFailed()
{
    if (bClosing)
        return;
    MyMessageDlg(view_.messageOwner(), QStringLiteral("Не удалось продолжить игру."), QStringLiteral("Внимание! "),
                 mbOK);
}

bool TGame::ChooseAnswer(const QString& caption)
{
    if (bClosing)
        return false;
    // A choice during the hold is ignored, not queued.
    if (PauseActive())
        return false;
    const QString text = caption.mid(3);
    if (FStGame != gRunning)
        return false;
    // A digit pressed while a step waits in a start prompt or a message would
    // answer the question of the tour just closed a second time.
    if (iStepDepth > 0)
        return false;
    // A digit (a system-wide key) pressed while a message is open must not
    // move the game on under it.
    if (messageDlgOpen())
        return false;
    // The question on the panels was answered by a step that then failed (the
    // server went away): storing it again would count it twice. Or the game
    // has no question yet because its first step failed: there is nothing to
    // answer. Either way the game is picked up again, as after a restart, with
    // a fresh question.
    if (bQuestionAnswered || bNoQuestionYet) {
        GameStep(QString());
        return true;
    }
    GameStep(text);
    return true;
}

void TGame::GameStep(const QString& sAnswer)
{
    if (bClosing)
        return;
    const StepScope scope(this);
    sLastAnswer = sAnswer;
    try {
        if (!VerMyGUID())
            return;
        if (sAnswer.isEmpty()) {
            if (!SetTurCurent(1))
                return;
        } else {
            bLastAnswerRight = SaveAnswer(sAnswer);
            bQuestionAnswered = true;
            // An answer the server did not take is not judged: the player has
            // heard the failure from the connection's report, and a verdict would
            // tell of an answer that does not count. Nor is the right answer shown:
            // the question may come again. The next digit picks the game up.
            if (!bAnswerStored)
                return;
            SpeechOut(bLastAnswerRight ? QStringLiteral("Правильно. ") : QStringLiteral("Неправильно. "), true);
            // The tour's 21st answer ends the tour now: its time is the time its
            // answers took, also when the player quits during the hold and the
            // next tour, or the report, waits for another start of the program.
            if (CountTurAnswers(FTur) >= 21)
                CloseTur(FTur);
            const quint64 transitions = iTransitions;
            if (!ShowRightAnswer())
                return;  // the window, and this game with it, went during the hold
            // Quitting confirmed during the hold: the step stops here, and the
            // next start resumes from what is stored (the answer, a closed tour).
            if (bClosing)
                return;
            if (transitions != iTransitions)
                return;  // the game was entered afresh meanwhile: this step is over
        }
        for (;;) {
            const int r = CheckTur(FTur);
            if (r == -2) {
                if (!bTurCheckReported)
                    StepFailed();
                return;
            }
            if (r == 1) {
                SetStGame(gEndTime);
                return;
            }
            if (r == 2) {
                CloseTur(FTur);
                if (FTur < 3) {
                    if (!SetTurCurent(FTur + 1))
                        return;  // not started: the game stays where it is
                    continue;
                }
                SetStGame(gEndQuest);
                return;
            }
            iQuestNum = CountTurAnswers(FTur) + 1;
            if (!FMTimerEnabled)
                SetMTimerEnabled(true);
            const QString caption = QStringLiteral("Вопрос №") + QString::number(iQuestNum);
            view_.setQuestNumCaption(caption);
            SpeechOut(caption, false);
            // The n-th question of a tour is one of level n.
            LoadQuestion(iQuestNum);
            bNoQuestionYet = false;
            ShowQuestion();
            return;
        }
    } catch (const EDbAbort&) {
        // Reported by the connection; the step ends without a new question.
        StopClockAfterFailedStep();
    } catch (const EDbError&) {
        // Reported by the connection, as above.
        StopClockAfterFailedStep();
    } catch (const std::exception&) {
        StopClockAfterFailedStep();
        // Nothing has told the player why the game stopped.
        StepFailed();
    }
}

// ---- display ------------------------------------------------------------------------

void TGame::ShowQuestion()
{
    QString places[4] = {CurQuestion.sVar1, CurQuestion.sVar2, CurQuestion.sVar3, CurQuestion.sVar4};
    TGameRandom rnd;
    for (int i = 0; i < 200; ++i) {
        rnd.Randomize();
        const int a = rnd.Random(4);
        const int b = rnd.Random(4);
        places[a].swap(places[b]);
    }

    view_.setQuestionCaption(CurQuestion.sQuestion);
    SpeechOut(CurQuestion.sQuestion, false);
    for (int n = 1; n <= 4; ++n)
        view_.setAnswerCaption(n, QString::number(n) + QStringLiteral(": ") + places[n - 1]);
    SpeechOut(VariantsText(view_), false);
    bQuestionAnswered = false;
}

bool TGame::ShowRightAnswer()
{
    int right = 0;
    int chosen = 0;
    for (int n = 1; n <= 4 && !right; ++n)
        if (view_.answerCaption(n).mid(3) == CurQuestion.sVar4)
            right = n;
    for (int n = 1; n <= 4 && !chosen; ++n)
        if (view_.answerCaption(n).mid(3) == sLastAnswer)
            chosen = n;

    SetAnswerLook(TAnswerLook::On, chosen);
    SetAnswerLook(TAnswerLook::Yes, right);
    if (!bLastAnswerRight)
        SpeechOut(QStringLiteral("Правильный ответ №") + QString::number(right) + QStringLiteral(". ") +
                      CurQuestion.sVar4 + QStringLiteral(". "),
                  false);
    if (!view_.pauseSeconds(1))
        return false;
    SetAnswerLook(TAnswerLook::Off, right);
    SetAnswerLook(TAnswerLook::Off, chosen);
    return true;
}

void TGame::SetAnswerLook(TAnswerLook look, int n)
{
    if (n >= 1 && n <= 4)
        view_.setAnswerLook(look, n);
}

// ---- results ------------------------------------------------------------------------

bool TGame::ShowGameResult(int reason)
{
    SetMTimerEnabled(false);
    if (bClosing)
        return false;
    const QString heading =
        reason == 0 ? QStringLiteral("Закончилось время.") : QStringLiteral("Вы дали ответ на все вопросы");

    TDataModule1& dm = dataModule();
    TDbQuery& q = dm.QueryQuery;
    int ansAll = 0;
    int ansRich = 0;
    QString tail;
    try {
        const QString& g = sGamesTable;
        q.setSql({QStringLiteral("SELECT (SELECT COUNT(*) FROM ") + g +
                  QStringLiteral(" WHERE SorUserID=:SorUserID) AS AnsAll, "),
                  QStringLiteral("(SELECT COUNT(*) FROM ") + g +
                  QStringLiteral(" WHERE (SorUserID=:SorUserID) AND (QVar=4)) AS AnsRich")});
        q.bindLargeInt(QStringLiteral("SorUserID"), CurrentUserID);
        q.open();
        ansAll = q.asInteger(QStringLiteral("AnsAll"));
        ansRich = q.asInteger(QStringLiteral("AnsRich"));

        if (reason == 1) {
            // The end stamp of the third tour has just been written.
            ReopenStatusRow();
            q.setSql({QStringLiteral("SELECT * FROM Sor_setttings")});
            q.open();
            qint64 left = 0;
            for (int n = 1; n <= 3; ++n) {
                const int d = q.asInteger(QStringLiteral("level") + QString::number(n));
                const qint64 used = serverSecondsApart(CachedStamp(tourStartField(n)), CachedStamp(tourEndField(n)));
                left += d - used;
            }
            // A point for each right answer and a thousandth for each second left,
            // written as the player's locale writes numbers (50,125 in Russian).
            const double score = double(ansRich) + double(left) * 0.001;
            QLocale locale;
            locale.setNumberOptions(QLocale::OmitGroupSeparator);
            tail = QStringLiteral("\n\rВремени, по результатам трёх туров, осталось ") + QString::number(left) +
                   QStringLiteral(" ") + SufSecToStrPadegh(int(left % 10)) + QStringLiteral("\n\r") +
                   QStringLiteral("Ваш результат ") + locale.toString(score, 'g', 15) + QStringLiteral(" баллов.");
        }
    } catch (const std::exception&) {
        // The report is owed: the stored end state, the stamps and the answers
        // stay, and the next start (or the activation after a reconnection)
        // builds it again.
        MyMessageDlg(view_.messageOwner(), QStringLiteral("Не удалось прочитать результат игры."),
                     QStringLiteral("Внимание! "), mbOK);
        return false;
    }

    const QString text = QStringLiteral("Игра закончена!\n\r") + heading + QStringLiteral("\n\r") +
                         QStringLiteral("Дано всего ответов: ") + QString::number(ansAll) + QStringLiteral(", ") +
                         QStringLiteral("\n\r") + QStringLiteral("Дано правильных ответов: ") +
                         QString::number(ansRich) + QStringLiteral(".") + tail;
    MyMessageDlg(view_.messageOwner(), text, QStringLiteral("Внимание! "), mbOK);
    return true;
}

void TGame::CloseDown()
{
    bClosing = true;
    MMTimer1->SetEnabled(false);
    // No end of the game by time either while the window closes.
    Timer1->stop();
}

}  // namespace sor
