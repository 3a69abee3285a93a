#pragma once
// The only way the program speaks. Stop-first true cuts off the speech in
// progress (a new announcement); false queues behind it (a continuation).
// Safe and silent before the speech settings exist.

#include <QChar>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

bool SpeechOut(const QString& text, bool stopFirst);
void SpeechStop();
// The spoken form of a typed character: the first eight Latin letters get their
// Russian names, anything else is the character itself.
QString KeyCharToSpeech(QChar c);

namespace sor {

// What SpeechOut and SpeechStop forward to: the speech settings (frSpeechSet)
// register themselves here for as long as they exist.
class SpeechBackend
{
public:
    virtual ~SpeechBackend() = default;
    virtual bool SpeechOutEx(const QString& text) = 0;
    virtual void SpeechStopEx() = 0;
};

void setSpeechBackend(SpeechBackend* backend);
SpeechBackend* speechBackend();

// Speech for a notice that comes before the speech settings are loaded (the
// outdated-version notice at start-up). The program installs a loader that
// brings up the player's speech settings without ever writing them;
// loadEarlySpeech() returns what it made, to be kept for the notice's time, or
// null when speech is up already or there is no loader.
void setEarlySpeechLoader(std::function<std::unique_ptr<QObject>()> loader);
std::unique_ptr<QObject> loadEarlySpeech();

}  // namespace sor
