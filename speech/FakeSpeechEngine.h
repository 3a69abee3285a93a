#pragma once
// A speech engine that records what it is asked to do instead of speaking.
// Both families of a test can share one log, so that the order of everything
// the player would hear (and every stop) is in one place.
//
// Log lines, each prefixed with the engine's family name and ": ":
//   "select 3 Russian" / "select 7 failed"   "volume 100"   "rate -4"
//   "speak <text>"   "purge"

#include <QSet>
#include <memory>

#include "speech/SpeechEngine.h"

namespace sor {

class FakeSpeechEngine : public SpeechEngine
{
    Q_OBJECT

public:
    // voicesKnownNow false: the voices stay unknown until publishVoices(), as
    // with an engine that is still listing them.
    FakeSpeechEngine(QString family, QStringList voices, std::shared_ptr<QStringList> log,
                     bool voicesKnownNow = true);

    QStringList voices() const override;
    bool voicesKnown() const override { return known_; }
    bool select(int index) override;
    void setVolume(int percent) override;
    void setRate(int rate) override;
    void speak(const QString& text) override;
    void purge() override;

    // Makes the voices known and tells so (emits voicesReady).
    void publishVoices();

    QSet<int> refused;    // select() of these indexes fails, as a mode that will not start
    int selected = -1;    // the voice selected last with success
    int volume = -1;
    int rate = 0;

    const std::shared_ptr<QStringList>& log() const { return log_; }

private:
    void record(const QString& event);

    QString family_;
    QStringList voices_;
    std::shared_ptr<QStringList> log_;
    bool known_;
};

}  // namespace sor
