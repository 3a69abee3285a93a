#pragma once
// What the player hears, for every window test.
//
//   sortest::SpeechRig rig;          // speech settings on recording fakes, speech on
//   ... drive the window ...
//   QCOMPARE(rig.heard(), QStringList({"!Кнопка Войти", "Редактор E-mail"}));
//
// heard() lists the spoken phrases in order. A phrase that a stop came right
// before (a stop-first phrase: SpeechOut(text, true), or a SpeechStop() and then
// a text) starts with "!"; a phrase queued behind the speech in progress has no
// mark. A stop that no phrase followed is a last entry "!" of its own; several
// stops in a row count as one. (A text that itself starts with "!" would read
// the same as a stop-first one; the game has none.)
//
// The fakes: the modes family has no modes, the voices family has "English" and
// "Russian"; with no settings file the Russian voice is chosen and speech is on.
// In a test with widgets (a QApplication) the rig creates the whole window
// frSpeechSet, otherwise only the speech settings; either way they are what
// SpeechOut speaks through until the rig goes. The rig starts with nothing heard.
//
// With speech off the game's own words go to the screen reader instead:
// noticed() lists them in order (the notices are still posted in the windows).

#include <QStringList>
#include <functional>
#include <memory>

class TfrSpeechSet;

namespace sor {
class FakeSpeechEngine;
class SpeechSettings;
}  // namespace sor

namespace sortest {

class SpeechRig
{
public:
    enum class Window { IfWidgets, Never, Always };

    explicit SpeechRig(Window window = Window::IfWidgets);
    ~SpeechRig();
    SpeechRig(const SpeechRig&) = delete;
    SpeechRig& operator=(const SpeechRig&) = delete;

    QStringList heard() const;  // see above
    QStringList noticed() const;  // what went to the screen reader, in order
    void clear();               // forget what was heard so far
    void setSpeechOn(bool on);  // the speech switch
    QStringList events() const; // the raw engine log, e.g. "voices: speak Да", "voices: purge"

    sor::SpeechSettings& settings() const;
    TfrSpeechSet* window() const;  // null without widgets
    sor::FakeSpeechEngine& modes() const;
    sor::FakeSpeechEngine& voices() const;

private:
    std::shared_ptr<QStringList> log_;
    sor::FakeSpeechEngine* modes_ = nullptr;
    sor::FakeSpeechEngine* voices_ = nullptr;
    std::unique_ptr<TfrSpeechSet> window_;
    std::unique_ptr<sor::SpeechSettings> settings_;
    std::function<void(const QString&)> outlet_;  // the outlet before the rig's
};

}  // namespace sortest
