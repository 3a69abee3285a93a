#include "speech/SpeechRoutines.h"

namespace {
sor::SpeechBackend* gBackend = nullptr;
std::function<std::unique_ptr<QObject>()>& earlyLoader()
{
    static std::function<std::unique_ptr<QObject>()> f;
    return f;
}
}  // namespace

void sor::setEarlySpeechLoader(std::function<std::unique_ptr<QObject>()> loader)
{
    earlyLoader() = std::move(loader);
}

std::unique_ptr<QObject> sor::loadEarlySpeech()
{
    if (gBackend || !earlyLoader())
        return nullptr;
    return earlyLoader()();
}

void sor::setSpeechBackend(SpeechBackend* backend)
{
    gBackend = backend;
}

sor::SpeechBackend* sor::speechBackend()
{
    return gBackend;
}

bool SpeechOut(const QString& text, bool stopFirst)
{
    if (!gBackend)
        return true;
    if (stopFirst)
        SpeechStop();
    return gBackend->SpeechOutEx(text);
}

void SpeechStop()
{
    if (gBackend)
        gBackend->SpeechStopEx();
}

QString KeyCharToSpeech(QChar c)
{
    switch (c.unicode()) {
    case 'A': case 'a': return QStringLiteral("А ");
    case 'B': case 'b': return QStringLiteral("Бэ ");
    case 'C': case 'c': return QStringLiteral("Цэ ");
    case 'D': case 'd': return QStringLiteral("Дэ ");
    case 'E': case 'e': return QStringLiteral("Йе ");
    case 'F': case 'f': return QStringLiteral("Эф ");
    case 'G': case 'g': return QStringLiteral("Гэ ");
    case 'H': case 'h': return QStringLiteral("Аш ");
    default: return QString(c);
    }
}
