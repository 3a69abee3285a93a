#pragma once
// One speech engine family behind one interface: the "modes" family (espeak-ng,
// used directly) and the "voices" family (speech-dispatcher) both look like this
// to the speech settings, and so does the recording fake of the tests.
//
// Every call is made on the GUI thread and returns at once: speaking queues the
// text behind the speech in progress, purging stops this program's speech now
// and drops what it has queued (never another program's, such as a screen reader).

#include <QObject>
#include <QStringList>

namespace sor {

class SpeechEngine : public QObject
{
    Q_OBJECT

public:
    explicit SpeechEngine(QObject* parent = nullptr) : QObject(parent) {}
    ~SpeechEngine() override;

    // The family's voices in a stable order, as shown in the voice list. Taken
    // once; empty until voicesKnown() (and empty for good when the engine is not there).
    virtual QStringList voices() const = 0;
    virtual bool voicesKnown() const = 0;

    // Makes voice `index` the one that speaks from now on. False when it cannot
    // speak with it (no such voice, or the engine refused it).
    virtual bool select(int index) = 0;
    virtual void setVolume(int percent) = 0;
    virtual void setRate(int rate) = 0;  // -10 (slowest) .. 10 (fastest), 0 normal

    virtual void speak(const QString& text) = 0;  // queued behind the speech in progress
    virtual void purge() = 0;                     // stop now and drop the queue

signals:
    // Emitted once, on the GUI thread, when voices() has become known.
    void voicesReady();
};

}  // namespace sor
