#include "SpeechRig.h"

#include <QApplication>

#include "speech/FakeSpeechEngine.h"
#include "speech/SpeechSettings.h"
#include "speech/SpeechRoutines.h"
#include "speech/SpeechSettingsWindow.h"

namespace sortest {

SpeechRig::SpeechRig(Window window) : log_(std::make_shared<QStringList>())
{
    auto modes = std::make_unique<sor::FakeSpeechEngine>(QStringLiteral("modes"), QStringList(), log_);
    auto voices = std::make_unique<sor::FakeSpeechEngine>(
        QStringLiteral("voices"), QStringList({QStringLiteral("English"), QStringLiteral("Russian")}), log_);
    modes_ = modes.get();
    voices_ = voices.get();
    const bool widgets = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    if (window == Window::Always || (window == Window::IfWidgets && widgets))
        window_ = std::make_unique<TfrSpeechSet>(std::move(modes), std::move(voices), QString());
    else
        settings_ = std::make_unique<sor::SpeechSettings>(std::move(modes), std::move(voices), QString());
    // Between the routes and the screen reader, noting what goes there.
    outlet_ = sor::screenReaderOutlet();
    sor::setScreenReaderOutlet([log = log_, next = outlet_](const QString& text) {
        log->append(QStringLiteral("screen reader: ") + text);
        if (next)
            next(text);
    });
    clear();
}

SpeechRig::~SpeechRig()
{
    sor::setScreenReaderOutlet(outlet_);
}

QStringList SpeechRig::noticed() const
{
    QStringList texts;
    for (const QString& line : *log_)
        if (line.startsWith(QLatin1String("screen reader: ")))
            texts.append(line.mid(15));
    return texts;
}

QStringList SpeechRig::heard() const
{
    QStringList phrases;
    bool stopped = false;
    for (const QString& line : *log_) {
        const QString event = line.mid(line.indexOf(QLatin1String(": ")) + 2);
        if (event == QLatin1String("purge")) {
            stopped = true;
        } else if (event.startsWith(QLatin1String("speak "))) {
            phrases.append((stopped ? QStringLiteral("!") : QString()) + event.mid(6));
            stopped = false;
        }
    }
    if (stopped)
        phrases.append(QStringLiteral("!"));
    return phrases;
}

void SpeechRig::clear()
{
    log_->clear();
}

void SpeechRig::setSpeechOn(bool on)
{
    settings().setSpeechOn(on);
}

QStringList SpeechRig::events() const
{
    QStringList engine;
    for (const QString& line : *log_)
        if (!line.startsWith(QLatin1String("screen reader: ")))
            engine.append(line);
    return engine;
}

sor::SpeechSettings& SpeechRig::settings() const
{
    return window_ ? window_->settings() : *settings_;
}

TfrSpeechSet* SpeechRig::window() const
{
    return window_.get();
}

sor::FakeSpeechEngine& SpeechRig::modes() const
{
    return *modes_;
}

sor::FakeSpeechEngine& SpeechRig::voices() const
{
    return *voices_;
}

}  // namespace sortest
