#pragma once
// The "voices" family: speech-dispatcher through libspeechd.
//
// Every request is handed to one worker thread that owns the connection, so the
// window never waits for the server: not while it lists its voices (about 13,000
// entries, a second or more), not when it stalls without a sound device, not when
// it is gone. Requests keep their order. Texts are queued with priority MESSAGE
// and purged with CANCEL SELF, so the player's screen reader is never cut off.
// A lost connection is reopened at the next request (at most once every
// reconnect interval) and the voice, volume and rate are set again on it.

#include <QString>
#include <memory>
#include <thread>

#include "speech/SpeechEngine.h"

namespace sor {

class SpeechDispatcherEngine : public SpeechEngine
{
    Q_OBJECT

public:
    struct Options
    {
        QString unixSocket;  // empty: speech-dispatcher's standard address rules
        bool autospawn = true;
        int replyTimeoutMs = 10000;      // a server that stops answering counts as lost
        int reconnectIntervalMs = 2000;  // least time between two attempts to connect
    };

    SpeechDispatcherEngine();
    explicit SpeechDispatcherEngine(Options options);
    ~SpeechDispatcherEngine() override;

    // Only the voices of variant "none": one per voice, not per voice and variant.
    QStringList voices() const override { return voices_; }
    bool voicesKnown() const override { return known_; }
    bool select(int index) override;
    void setVolume(int percent) override;  // 0..100 here; 100 is full volume
    void setRate(int rate) override;       // -10..10, sent as -100..100
    void speak(const QString& text) override;
    void purge() override;

    // Waits until every request made so far has been dealt with; false on timeout.
    // For tests and measurements; the program itself never waits.
    bool flush(int timeoutMs);

    struct Shared;  // the worker's state

private:
    void takeVoices(const QStringList& voices);

    std::shared_ptr<Shared> d_;
    std::thread worker_;
    QStringList voices_;
    bool known_ = false;
};

}  // namespace sor
