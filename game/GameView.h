#pragma once
// What the game needs of its view: the main window in the program, a rig of
// captions and looks in the tests (tests/support/GameViewRig.h). The game and
// its spoken commands reach the panels only through this.

#include <QObject>
#include <QString>

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
    // Returns its modal result: 1 to start, 2 when the player cancelled it;
    // anything else means it could not be shown (the program is quitting,
    // another one is open), and nothing is started.
    virtual bool startPromptOpen() const = 0;
    virtual int showStartPrompt(const QString& caption) = 0;

    // The hold after a verdict (sor::PauseSeconds with the window as owner): the
    // window stays responsive, answers are refused. False when the window has
    // gone meanwhile: touch nothing then.
    virtual bool pauseSeconds(int seconds) = 0;

    // The owner of the game's message boxes (the window), or null.
    virtual QObject* messageOwner() = 0;

    // Drops the key strokes still waiting for the window, so that keys typed
    // ahead are not acted on after the variants are read out.
    virtual void flushKeyboard() = 0;
};

// "Варианты ответов. " and the four answer captions, as they are spoken.
QString VariantsText(const TGameView& view);

}  // namespace sor
