#pragma once
// The main game window frMain: the tour number, the tour clock, the question
// number, the question and the four answer panels, and the menu through which
// every spoken command is reached. Created once after the login, it lives until
// the program ends; closing it (after the player confirms) ends the program.
//
// The window is a view of the game (game/GameCore.h): it owns the controls and
// hands clicks and keys to the game, which reaches the controls through
// sor::TGameView (game/GameView.h); the speech menu's items call the spoken
// commands (game/GameCommands.h) directly. The digits 1 to 4 and Ctrl+Space are hot keys of the whole
// desktop while the window exists (platform/GlobalHotKeys.h).
//
// Activation: the game re-enters the state stored on the server when the window
// is shown for the first time and whenever it becomes active again after the
// reconnect window; coming back from the program's own modal windows (message
// boxes, the start prompt, help, settings) or from another program is no new
// activation.

#include <QMainWindow>
#include <functional>
#include <memory>

#include "game/GameCommands.h"
#include "game/GameCore.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QWindow;

namespace sor {
class GlobalHotKeys;
class TAnswerLabel;
class TFitLabel;
class TImage;
class TLedDisplay;
class TPanel;
}  // namespace sor

class TfrMain : public QMainWindow, public sor::TGameView
{
    Q_OBJECT

public:
    // Makes the game behind the window; tests hand in a game of their own.
    using GameFactory = std::function<std::unique_ptr<sor::TGame>(sor::TGameView& view)>;

    // Builds the layout and the menu, then runs FormCreate: the hot keys, the
    // speech switch's check mark, the player's status row (DataModule1 must exist).
    explicit TfrMain(QWidget* parent = nullptr, GameFactory makeGame = {});
    ~TfrMain() override;

    sor::TGame& game() const { return *Game; }

    // The spoken commands of the speech menu, on this window's panels.
    sor::TGameCommands& commands() const { return *Commands; }

    // Controls, by their names.
    sor::TPanel* Panel1;
    sor::TPanel* PanTur;
    QLabel* lblTur;
    sor::TPanel* PanTimer;
    QLabel* Label1;
    sor::TLedDisplay* RzLEDTimer;
    sor::TPanel* Panel5;
    QLabel* lblQuestNum;

    sor::TPanel* Panel2;
    sor::TImage* Image1;
    sor::TImage* Image3;
    sor::TPanel* PanQuest;
    sor::TImage* ImageQ;
    sor::TFitLabel* lblQuestion;
    sor::TImage* Image4;
    sor::TPanel* PanAllAns;
    sor::TPanel* PanAnsLeft;
    sor::TPanel* Panel6;
    sor::TImage* Image5;
    sor::TImage* Image6;
    sor::TImage* Image7;

    sor::TPanel* panQuest1;
    sor::TPanel* panQuest2;
    sor::TPanel* panQuest3;
    sor::TPanel* panQuest4;
    sor::TImage* Img1On;
    sor::TImage* Img2On;
    sor::TImage* Img3On;
    sor::TImage* Img4On;
    sor::TImage* Img1Yes;
    sor::TImage* Img2Yes;
    sor::TImage* Img3Yes;
    sor::TImage* Img4Yes;
    sor::TImage* Img1Off;
    sor::TImage* Img2Off;
    sor::TImage* Img3Off;
    sor::TImage* Img4Off;
    sor::TAnswerLabel* lblQuest1;
    sor::TAnswerLabel* lblQuest2;
    sor::TAnswerLabel* lblQuest3;
    sor::TAnswerLabel* lblQuest4;

    // The timers (the game's own).
    TMMTimer* MMTimer1;
    QTimer* Timer1;

    QMenuBar* MainMenu1;
    QMenu* N1;  // "Речь "
    QAction* N2SpeechOnOff;
    QAction* N2;
    QAction* N3;
    QAction* N4;
    QAction* G1;
    QAction* N5;
    QAction* N11;
    QAction* N21;
    QAction* N31;
    QAction* N41;
    QAction* N10;
    QAction* N12;
    QAction* Y1;
    QMenu* N6;  // "Справка"
    QAction* N7;
    QAction* N8;
    QAction* N9;

    sor::GlobalHotKeys* HotKeys;

    // The answer panels and labels by number, 1 to 4.
    sor::TPanel* answerPanel(int n) const;
    sor::TAnswerLabel* answerLabel(int n) const;

    // Shows an answer panel in one of its looks: the picture with the look's tag,
    // the others hidden, the label in the look's colour.
    void SetAnswerLook(sor::TAnswerLook look, QLabel* label);

    // Window-level handlers.
    void FormCreate();
    void FormActivate();
    void FormResize();
    void FormCloseQuery(bool& CanClose);
    // After the player confirmed closing: the game stops where it stands and
    // writes nothing more; the hot keys go.
    void FormClose();

    // Controls' handlers.
    void btQuestClick(QObject* Sender);
    void lblQuestMouseEnter(QObject* Sender);
    void lblQuestMouseLeave(QObject* Sender);
    void HotKeyPressed(int id);

    // Menu handlers of the window's own; the spoken commands are TGameCommands'.
    void N2Click();
    void Y1Click();
    void N7Click();
    void N8Click();
    void N9Click();

    // TGameView
    QString questionCaption() const override;
    void setQuestionCaption(const QString& text) override;
    QString answerCaption(int n) const override;
    void setAnswerCaption(int n, const QString& text) override;
    void setTourCaption(const QString& text) override;
    void setQuestNumCaption(const QString& text) override;
    QString ledCaption() const override;
    void setLedCaption(const QString& text) override;
    void setAnswerLook(sor::TAnswerLook look, int n) override;
    void setSpeechSwitchMark(bool checked) override;
    bool startPromptOpen() const override;
    int showStartPrompt(const QString& caption) override;
    bool pauseSeconds(int seconds) override;
    QObject* messageOwner() override;
    void flushKeyboard() override;

    // Shows the start prompt in place of the prompt window when set (tests
    // script the prompt with it): given the caption, returns the modal result,
    // 1 to start, 2 cancelled, anything else not shown (nothing is started).
    std::function<int(const QString& caption)> StartPromptHook;

    // How many times the game has entered the stored state (activations).
    int activations() const { return activations_; }

signals:
    // The window has closed (FormClose has run): the program's message loop ends.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void buildAnswerPanel(int n, sor::TPanel* column, sor::TPanel*& panel, sor::TImage*& on, sor::TImage*& yes,
                          sor::TImage*& off, sor::TAnswerLabel*& label);
    void buildMenu();
    void connectCommands();
    int answerIndexOf(QObject* Sender) const;
    void applyWidthRule();
    void focusWindowChanged(QWindow* window);
    void queueActivation();

    std::unique_ptr<sor::TGame> Game;
    sor::TGameCommands* Commands = nullptr;
    sor::TPanel* ClientArea = nullptr;
    bool activatedOnce_ = false;
    bool activationQueued_ = false;
    bool backFromReconnect_ = false;
    bool promptOpen_ = false;
    int activations_ = 0;
};

// The one main window; empty before start-up creates it.
extern TfrMain* frMain;
