#include "speech/SpeechRoutines.h"

namespace {
sor::SpeechBackend* gBackend = nullptr;
sor::ScreenReaderOutlet& outlet()
{
    static sor::ScreenReaderOutlet f;
    return f;
}

// Nothing left once blanks and control characters are cut from both ends.
bool isBlank(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() > 32)
            return false;
    return true;
}
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

void sor::setScreenReaderOutlet(ScreenReaderOutlet f)
{
    outlet() = std::move(f);
}

const sor::ScreenReaderOutlet& sor::screenReaderOutlet()
{
    return outlet();
}

bool sor::sayPhrase(const QString& text, bool stopFirst, Phrase kind)
{
    if (!gBackend)
        return true;  // before the settings are read nothing is said
    if (gBackend->speaksItself()) {
        if (stopFirst)
            SpeechStop();
        return gBackend->SpeechOutEx(text, kind);
    }
    // The screen reader's route: its own speech is never cut off, and what it
    // reads from the window by itself is not sent a second time.
    if (kind == Phrase::Own && !isBlank(text) && outlet())
        outlet()(text);
    return true;
}

bool SpeechOut(const QString& text, bool stopFirst)
{
    return sor::sayPhrase(text, stopFirst, sor::Phrase::Own);
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
