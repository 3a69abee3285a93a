#pragma once
// The only way the program speaks. Stop-first true cuts off the speech in
// progress (a new announcement); false queues behind it (a continuation).
// Safe and silent before the speech settings exist.
//
// Every phrase takes one of two routes, decided in one place (sayPhrase): while
// the speech switch is on the game speaks it with its own voice; while it is
// off, the game's own words (the question, the verdict, the replies to the
// spoken commands, the messages) go to the player's screen reader instead,
// queued behind whatever it is saying and never cutting it off. What merely
// voices the window (a control taking the focus, a heading, a typed
// character, a menu item) the screen reader reads from the window by itself:
// that is sent nowhere then.

#include <QChar>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// The game's own words: sayPhrase(text, stopFirst, Phrase::Own).
bool SpeechOut(const QString& text, bool stopFirst);
void SpeechStop();
// The spoken form of a typed character: the first eight Latin letters get their
// Russian names, anything else is the character itself.
QString KeyCharToSpeech(QChar c);

namespace sor {

enum class Phrase {
    Own,    // the game's own words: reach the player on either route
    Shown,  // voices what the window shows: the screen reader reads it itself
};

// The one routine that decides where a phrase goes (see above). Returns what
// the speech settings return, true on the screen reader's route.
bool sayPhrase(const QString& text, bool stopFirst, Phrase kind);

// What SpeechOut and SpeechStop forward to: the speech settings (frSpeechSet)
// register themselves here for as long as they exist.
class SpeechBackend
{
public:
    virtual ~SpeechBackend() = default;
    virtual bool SpeechOutEx(const QString& text) = 0;
    virtual void SpeechStopEx() = 0;
    // False while the player has the game's own speech switched off.
    virtual bool speaksItself() const { return true; }
    // A phrase on the game's own route; the settings hold it back, with its
    // kind, while the voice list is still being built.
    virtual bool SpeechOutEx(const QString& text, Phrase kind)
    {
        (void)kind;
        return SpeechOutEx(text);
    }
};

void setSpeechBackend(SpeechBackend* backend);
SpeechBackend* speechBackend();

// Where the game's own words go while its speech is off: the windows install
// the screen reader's notices here. Without one they go nowhere.
using ScreenReaderOutlet = std::function<void(const QString& text)>;
void setScreenReaderOutlet(ScreenReaderOutlet outlet);
const ScreenReaderOutlet& screenReaderOutlet();

// Speech for a notice that comes before the speech settings are loaded (the
// outdated-version notice at start-up). The program installs a loader that
// brings up the player's speech settings without ever writing them;
// loadEarlySpeech() returns what it made, to be kept for the notice's time, or
// null when speech is up already or there is no loader.
void setEarlySpeechLoader(std::function<std::unique_ptr<QObject>()> loader);
std::unique_ptr<QObject> loadEarlySpeech();

}  // namespace sor
