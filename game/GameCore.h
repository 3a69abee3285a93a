#pragma once
// The game behind the main window, without a single widget: the game state and
// its tours, the clock, the statements on the player's rows, the session check,
// the answer-choice rule. The main window (TfrMain) is a view of it: it owns the
// controls, forwards its handlers here, and lets the game reach the controls
// through TGameView. A test puts a view of its own in place of the window and
// drives the whole game without a screen (tests/support/GameViewRig.h).
//
// The game talks to the server through DataModule1 (data/DataModulUnit.h): the
// player's Sor_users row stays open in LoginQuery as the cached copy, statements
// run on QueryQuery, the session check reopens QVerGUID. Messages go through
// MyMessageDlg, speech through SpeechOut / SpeechStop, an end of the program
// through sor::haltProgram: all seams that tests replace.
//
// How the window drives it:
//
//     FormCreate     game.OpenStatusRow();
//     FormActivate   game.AssignTableNames(); empty the labels; game.EnterStoredState();
//     FormClose      game.CloseDown();
//     a click on an answer, a digit hot key
//                    game.ChooseAnswer(lblQuestN caption);
//
// What the game consists of, and where each piece goes. Present now:
//   - the table names sGamesTable, sQuestionsTable, sStatusField;
//   - PoleStatus: the stored game status, read from the cached row, written only
//     when it differs from the cached value, in a transaction, without reopening;
//   - VerMyGUID: the session check before every game action;
//   - the state StGame with EnterStoredState, the entry on activation;
//   - the clock: iLedTimer (the LED caption "%.2d:%.2d"), MTimerEnabled,
//     MMTimer1 (one tick a second, handed to the GUI thread) with MMTimer1Timer,
//     Timer1 (100 ms) with Timer1Timer;
//   - ChooseAnswer: the answer-choice rule for clicks and digit keys;
//   - GameStep: so far its first steps, the last answer and the session check.
// To come with the game itself (private unless said otherwise, all here):
//   - the transitions run by SetStGame after it has stored the state (marked
//     there): gStart -> AskStartGame; gRunning -> GameStep(""); gEndTime /
//     gEndQuest -> ShowGameResult(0 / 1), then gStart and AskStartGame;
//   - TurCurent / SetTurCurent(n) (FTur, sTurStartField, sTurEndField, the tour's
//     settings row, the clock from the cached stamps; the tour prompt through
//     TGameView::showStartPrompt);
//   - the rest of GameStep (SaveAnswer, the verdict, ShowRightAnswer, the loop over
//     CheckTur / CloseTur, the question number, LoadQuestion, ShowQuestion);
//   - AskStartGame (VerMyGUID, TGameView::startPromptOpen / showStartPrompt,
//     sor::haltProgram on cancel, ResetGame, StGame := gRunning);
//   - CheckTur(tur) -> int, CloseTur(tur), CountTurAnswers(tur) -> int,
//     LoadQuestion(level) into CurQuestion, SaveAnswer(text) -> bool, ResetGame;
//   - ShowQuestion, ShowRightAnswer (the looks through SetAnswerLook, the hold
//     through TGameView::pauseSeconds), SetAnswerLook(look, n);
//   - ShowGameResult(reason);
//   - the spoken commands of the speech menu, public, called by the window's menu
//     handlers of the same names: N2SpeechOnOffClick (the check mark through
//     TGameView::setSpeechSwitchMark), N4Click, G1Click, N5Click, N11Click,
//     N21Click, N31Click, N41Click, N10Click, N12Click; with SufMinToStrPadegh
//     and SufSecToStrPadegh (public).
// The unit-wide variables of the game are members: iTurAnswers, iQuestNum,
// bNoQuestionYet, sLastAnswer, bLastAnswerRight, CurQuestion.

#include <QObject>
#include <QString>
#include <QTimer>

#include "app/MMTimer.h"

// The game state, stored as its number in Sor_users.GameStatus.
enum TStatusGame : quint8 {
    gNot = 0,       // no game has been set up for the player yet
    gStart = 1,     // waiting for the player to start a game (start prompt)
    gRunning = 2,   // a game is in progress
    gEndTime = 3,   // the game ended because the tour time ran out
    gEndQuest = 4,  // the game ended because all questions of the third tour were answered
};

// The question on screen; the fourth stored variant is the right answer.
struct TCurQuestion
{
    int iID = 0;
    QString sQuestion;
    QString sVar1;
    QString sVar2;
    QString sVar3;
    QString sVar4;
    int iQlevel = 0;
};

namespace sor {

// The looks of an answer panel; the values are the tags of its pictures.
enum class TAnswerLook : int {
    Off = 1,  // dark blue bar, white text: the normal look
    On = 2,   // amber bar, blue text: the highlighted, chosen answer
    Yes = 3,  // green bar, dark violet text: the right answer
};

// What the game needs of the window. Answer panels are numbered 1 to 4
// (lblQuest1 .. lblQuest4).
class TGameView
{
public:
    virtual ~TGameView() = default;

    virtual QString questionCaption() const = 0;  // lblQuestion
    virtual void setQuestionCaption(const QString& text) = 0;
    virtual QString answerCaption(int n) const = 0;  // lblQuestN, with its "N: " prefix
    virtual void setAnswerCaption(int n, const QString& text) = 0;
    virtual void setTourCaption(const QString& text) = 0;      // lblTur
    virtual void setQuestNumCaption(const QString& text) = 0;  // lblQuestNum
    virtual QString ledCaption() const = 0;                    // RzLEDTimer
    virtual void setLedCaption(const QString& text) = 0;
    // Shows panel n in `look`: only the picture of that look, the label in its colour.
    virtual void setAnswerLook(TAnswerLook look, int n) = 0;
    // The check mark of the speech switch item.
    virtual void setSpeechSwitchMark(bool checked) = 0;

    // The start prompt (a game: "Начать игру"; a tour: "Начать 2-й тур"):
    // whether one is open now, and showing one modally with the given caption.
    // Returns its modal result: 1 to start, 2 when the player cancelled it.
    virtual bool startPromptOpen() const = 0;
    virtual int showStartPrompt(const QString& caption) = 0;

    // The hold after a verdict (sor::PauseSeconds with the window as owner): the
    // window stays responsive, answers are refused. False when the window has
    // gone meanwhile: touch nothing then.
    virtual bool pauseSeconds(int seconds) = 0;

    // The owner of the game's message boxes (the window), or null.
    virtual QObject* messageOwner() = 0;
};

class TGame : public QObject
{
    Q_OBJECT

public:
    // Creates the timers, both stopped: MMTimer1 (the countdown, 1000 ms, its
    // ticks handed to the GUI thread) and Timer1 (100 ms).
    explicit TGame(TGameView& view, QObject* parent = nullptr);
    ~TGame() override;

    TGameView& view() const { return view_; }

    // The timers of the window. Both stop when the game goes.
    TMMTimer* MMTimer1 = nullptr;
    QTimer* Timer1 = nullptr;

    // The table and column names of the game statements.
    QString sGamesTable;      // "Sor_Games"
    QString sQuestionsTable;  // "Sor_questions"
    QString sStatusField;     // "GameStatus"
    void AssignTableNames();

    // Opens the player's Sor_users row in LoginQuery, which stays the cached copy.
    // A failure has been reported by the connection and is thrown.
    void OpenStatusRow();
    // Whether the cached row holds the player's row now.
    bool StatusRowLoaded() const;

    // The stored game status. Reading: the cached row's status column (0 when the
    // row is not loaded). Writing: an UPDATE in a transaction, only when the value
    // differs from the cached one; the cached row is not reopened, so the next
    // comparison still sees the value of its last reopening. A failed write is
    // rolled back without a message of its own.
    int PoleStatus() const;
    void SetPoleStatus(int v);

    // The session check: true while this copy's login is the current one; false
    // when the check itself failed (a plain box has said why and the cached row
    // has been reopened where possible). A login taken over by another copy shows
    // the session message and halts the program: the call does not return.
    bool VerMyGUID();

    // Enters the state that the stored status calls for (the last step of every
    // activation of the window): 0 or 1 gStart, 2 or above 4 gRunning, 3 and 4
    // themselves. With the cached row not loaded (the server was away when the
    // window opened) it is opened first; if that fails too, nothing is entered:
    // the activation after the reconnection tries again.
    void EnterStoredState();

    TStatusGame StGame() const { return FStGame; }
    // Stores the state, writes it as PoleStatus, then runs the transition.
    void SetStGame(TStatusGame v);

    // The time left in the tour, in seconds, never negative; writing it shows it
    // on the LED as minutes and seconds, each at least two digits ("05:00").
    int iLedTimer() const { return FTimeLevel; }
    void SetiLedTimer(int s);
    static QString LedText(int seconds);

    // Whether the one-second countdown runs. Switching it on starts Timer1 too;
    // switching it off leaves Timer1 alone.
    bool MTimerEnabled() const { return FMTimerEnabled; }
    void SetMTimerEnabled(bool b);

    // The timers' handlers. MMTimer1Timer runs on the GUI thread.
    void MMTimer1Timer(QObject* Sender);
    void Timer1Timer();

    // The answer-choice rule, for a click on an answer and for its digit key,
    // given the caption of the answer's label: refused during the hold, outside
    // gRunning and before the first question of the run; otherwise the caption
    // without its "N: " prefix goes to GameStep. True when it went.
    bool ChooseAnswer(const QString& caption);

    // One step of the game after an answer (empty text: (re)start the game flow).
    virtual void GameStep(const QString& sAnswer);

    // The window closes: the countdown stops.
    void CloseDown();

    bool NoQuestionYet() const { return bNoQuestionYet; }
    const QString& LastAnswer() const { return sLastAnswer; }

protected:
    TGameView& view_;

    TStatusGame FStGame = gNot;
    int FTimeLevel = 0;
    int FTur = 0;
    bool FMTimerEnabled = false;

    int iTurAnswers = 0;
    int iQuestNum = 0;
    bool bNoQuestionYet = true;  // until the first question of the run is shown
    QString sLastAnswer;
    bool bLastAnswerRight = false;
    TCurQuestion CurQuestion;
};

// The message of a copy whose login was taken over.
QString sessionTakenOverText();

}  // namespace sor
