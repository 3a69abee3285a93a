#pragma once
// The game behind the main window, without a single widget: the game state and
// its tours, the clock, the statements on the player's rows, the session check,
// the answer-choice rule, the results. The main window (TfrMain) is a view of
// it: it owns the controls, hands its clicks and keys here, and lets the game
// reach the controls through TGameView (game/GameView.h). The spoken commands
// of the speech menu are TGameCommands (game/GameCommands.h). A test puts a view
// of its own in place of the window and drives the whole game without a screen
// (tests/support/GameViewRig.h).
//
// The game talks to the server through DataModule1 (data/DataModule.h): the
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
//     the commands of the speech menu go to TGameCommands (game/GameCommands.h)
//
// The road of one answer: ChooseAnswer (refused during the hold, outside
// gRunning, while a step is under way and while a message is open; before the
// first question it picks the game up instead) ->
// GameStep: the session check, SaveAnswer (the row in Sor_Games), the verdict
// spoken at once, ShowRightAnswer (the looks and the one-second hold), then
// CheckTur: a full tour is closed and the next one set up (its start prompt
// first), the third ends the game with the results; time over ends it by time;
// otherwise the question number is spoken, LoadQuestion draws a question of the
// next level among those the player has not answered in this game, and
// ShowQuestion shuffles its variants onto the panels and queues them for speech.
//
// The state is written to the server before each transition acts, so a program
// stopped at any point comes back to the same place; the tour clock is judged
// by the server's stamps, the local clock only counts the display down. The
// 21st answer of a tour closes the tour at once (its end stamp), before the
// hold, so that the tour's time is the time its answers took, however long the
// program stays closed before the next tour's prompt or the report.
//
// Once the player has confirmed quitting (CloseDown), the game writes nothing
// more to the server and opens no window: the step under way stops where it
// stands, and the next start picks the game up from what is stored. A start
// prompt starts something only when the player pressed start (result 1).

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include "game/GameView.h"
#include "platform/MMTimer.h"

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

    // The timers' handlers. MMTimer1Timer (on the GUI thread) counts the clock
    // down and stops the countdown at zero. Timer1Timer ends a running game by
    // time once the clock is at zero; while a game step is under way it leaves
    // that to the step, which judges the time itself right after its hold, and
    // while a message is open it waits until the message has closed.
    void MMTimer1Timer(QObject* Sender);
    void Timer1Timer();

    // The current tour, 1 to 3 (0 before the first set-up). Writing it sets the
    // tour up: its start prompt when it never started (a cancelled prompt halts
    // the program), the caption, the tour length and the server clock from the
    // settings row, and the clock from the tour's stamps on the server (a tour
    // that never started gets its start stamped now). A tour outside 1..3 is
    // refused with a plain box. A failed read is thrown. False when the tour was
    // not set up: refused, or its prompt not started (the program is quitting,
    // or the prompt could not be shown: the player is told); nothing changed then.
    int TurCurent() const { return FTur; }
    bool SetTurCurent(int n);

    // The answer-choice rule, for a click on an answer and for its digit key,
    // given the caption of the answer's label: refused during the hold, outside
    // gRunning, while a game step is under way (a start prompt or a message of
    // the step is open) and while any message is open (the close question, say).
    // Before the first question of the run (its step failed), or when the
    // question on the panels was answered by a step that then failed, the game
    // is picked up with an empty step; otherwise the caption without its "N: "
    // prefix goes to GameStep. True when it went.
    bool ChooseAnswer(const QString& caption);

    // One step of the game after an answer (empty text: (re)start the game flow).
    // Database failures have been reported by the connection; they end the step
    // without a new question. A failure that nothing reported ends it with the
    // message "Не удалось продолжить игру." (once).
    virtual void GameStep(const QString& sAnswer);

    // The player has confirmed quitting: both timers stop, and from now on the
    // game writes nothing to the server and opens no window. A step under way
    // stops where it stands.
    void CloseDown();

    bool NoQuestionYet() const { return bNoQuestionYet; }
    const QString& LastAnswer() const { return sLastAnswer; }
    const TCurQuestion& CurrentQuestion() const { return CurQuestion; }
    int QuestNum() const { return iQuestNum; }
    bool StepUnderWay() const { return iStepDepth > 0; }

protected:
    // A new game: the start prompt ("Начать игру"), then ResetGame and gRunning.
    // Does nothing while a start prompt is open; a cancelled prompt halts.
    void AskStartGame();
    // -2 the cached row could not be read, 1 time over, 2 the tour holds 21
    // answers (this wins over time over), 0 go on.
    int CheckTur(int tur);
    // Stops the countdown and stamps the tour's end once.
    void CloseTur(int tur);
    // The player's answers in the tour. A failure is thrown.
    int CountTurAnswers(int tour);
    // Draws a question of the level among those the player has not answered in
    // this game into CurQuestion (all empty when there is none). A failure is thrown.
    void LoadQuestion(int level);
    // Stores the answer row; the verdict stands even when storing fails.
    // bAnswerStored tells whether the row was stored.
    bool SaveAnswer(const QString& text);
    // Empties the question and the answers, zeroes the tour stamps and deletes
    // the player's answer rows (one transaction; a failure is rolled back).
    void ResetGame();
    // Shuffles the variants onto the panels and queues the question and the
    // variants for speech.
    void ShowQuestion();
    // The chosen and the right answer in their looks for the hold, the right one
    // spoken after a wrong choice. False when the window went during the hold:
    // the game is gone with it then, and nothing of it may be touched.
    bool ShowRightAnswer();
    void SetAnswerLook(TAnswerLook look, int n);
    // The results message: 0 the time ran out (counts only), 1 all answered
    // (counts, the time left and the score). False when it was not shown: it
    // could not be built (the player is told "Не удалось прочитать результат
    // игры."; the stored end state, stamps and answers stay for the next try),
    // or the program is quitting.
    bool ShowGameResult(int reason);
    // Stops the countdown and Timer1 after a step cut short by a failure: a
    // closed tour's zero set up on the way is no time over. The next step reads
    // the clock from the server's stamps again.
    void StopClockAfterFailedStep();
    // Tells the player, once, that the step ended on a failure that nothing
    // has reported; says nothing while the program is quitting.
    void StepFailed();
    // Shows the start prompt with the caption; true only when the player pressed
    // start. Cancelled: the program halts. Not shown while quitting; not shown
    // otherwise: the player is told.
    bool PromptStarted(const QString& caption);

    // Closes and opens the player's cached row again. A failure is thrown.
    void ReopenStatusRow();
    // Stamps the tour column `field` with the server's NOW(), in a transaction
    // (rolled back on failure). False when it was not stored.
    bool StampTour(const QString& field);
    // The stamp `field` of the cached row; invalid when not set. Throws EDbError
    // when the cached row is not loaded.
    QDateTime CachedStamp(const QString& field) const;

    TGameView& view_;

    TStatusGame FStGame = gNot;
    int FTimeLevel = 0;
    int FTur = 0;
    bool FMTimerEnabled = false;

    QString sTurStartField;  // "Time_lvl" + tour
    QString sTurEndField;    // "Time_lvl" + tour + "_end"
    int iTurAnswers = 0;
    int iQuestNum = 0;
    bool bNoQuestionYet = true;  // until the first question of the run is shown
    bool bQuestionAnswered = false;  // the question on the panels has its answer row
    bool bAnswerStored = false;      // the last SaveAnswer stored its row
    QString sLastAnswer;
    bool bLastAnswerRight = false;
    TCurQuestion CurQuestion;

    int iStepDepth = 0;        // game steps under way (a nested one counts too)
    bool bClosing = false;     // the player has confirmed quitting
    bool bTurCheckReported = false;  // CheckTur's -2: its failure has been reported
    quint64 iTransitions = 0;  // changes of the state so far

private:
    friend class StepScope;
};

// The message of a copy whose login was taken over.
QString sessionTakenOverText();

}  // namespace sor
