#include "speech/FakeSpeechEngine.h"

#include <utility>

namespace sor {

FakeSpeechEngine::FakeSpeechEngine(QString family, QStringList voices, std::shared_ptr<QStringList> log,
                                   bool voicesKnownNow)
    : family_(std::move(family)),
      voices_(std::move(voices)),
      log_(log ? std::move(log) : std::make_shared<QStringList>()),
      known_(voicesKnownNow)
{
}

QStringList FakeSpeechEngine::voices() const
{
    return known_ ? voices_ : QStringList();
}

bool FakeSpeechEngine::select(int index)
{
    if (index < 0 || index >= voices().size() || refused.contains(index)) {
        record(QStringLiteral("select %1 failed").arg(index));
        return false;
    }
    selected = index;
    record(QStringLiteral("select %1 %2").arg(index).arg(voices_.at(index)));
    return true;
}

void FakeSpeechEngine::setVolume(int percent)
{
    volume = percent;
    record(QStringLiteral("volume %1").arg(percent));
}

void FakeSpeechEngine::setRate(int r)
{
    rate = r;
    record(QStringLiteral("rate %1").arg(r));
}

void FakeSpeechEngine::speak(const QString& text)
{
    record(QStringLiteral("speak ") + text);
}

void FakeSpeechEngine::purge()
{
    record(QStringLiteral("purge"));
}

void FakeSpeechEngine::publishVoices()
{
    if (known_)
        return;
    known_ = true;
    emit voicesReady();
}

void FakeSpeechEngine::record(const QString& event)
{
    log_->append(family_ + QStringLiteral(": ") + event);
}

}  // namespace sor
