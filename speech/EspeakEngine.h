#pragma once
// The "modes" family: espeak-ng used directly, one mode per espeak-ng voice.
//
// espeak-ng is one library state per process: the first engine initialises it
// (playback, or retrieval into a sample sink for tests) and it stays initialised
// until the process ends (shutting it down after a cancel can hang). Engines
// created later share it. Speaking is asynchronous inside espeak-ng; purging
// sets an abort flag that the synthesis callback honours, then cancels.

#include <QByteArrayList>
#include <functional>

#include "speech/SpeechEngine.h"

namespace sor {

class EspeakEngine : public SpeechEngine
{
    Q_OBJECT

public:
    enum class Output {
        Playback,   // espeak-ng plays the sound itself
        Retrieval,  // the sound goes to the sample sink instead (tests)
    };
    // Called on espeak-ng's own thread with each block of 16-bit samples; must
    // not call espeak-ng. One sink for the process: the engine created last with
    // a sink has it until it goes.
    using SampleSink = std::function<void(const short* samples, int count)>;

    explicit EspeakEngine(Output output = Output::Playback, SampleSink sink = {});
    ~EspeakEngine() override;

    // False when espeak-ng could not start (no voice data): no modes then.
    bool available() const { return available_; }

    QStringList voices() const override { return names_; }
    bool voicesKnown() const override { return true; }
    bool select(int index) override;
    void setVolume(int percent) override;
    void setRate(int rate) override;
    void speak(const QString& text) override;
    void purge() override;

    // Words per minute for a rate of -10..10: 80 / 175 / 450 at -10 / 0 / 10.
    static int wordsPerMinute(int rate);

private:
    bool available_ = false;
    QStringList names_;
    QByteArrayList identifiers_;  // unique, unlike some names
};

}  // namespace sor
