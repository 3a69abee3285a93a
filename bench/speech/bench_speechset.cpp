// How long start-up waits for speech, and what a phrase costs the window.
//   creating frSpeechSet with speech-dispatcher running (target: under 200 ms),
//   until the voice list is complete and the settings restored (the player
//   hears start-up phrases from then on), and without any speech-dispatcher;
//   one SpeechOut call (target: well under a millisecond).
// Runs against a private speech-dispatcher; prints figures, asserts nothing.

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "speech/EspeakEngine.h"
#include "speech/SpeechDispatcherEngine.h"
#include "speech/SpeechRoutines.h"
#include "speech/SpeechSettingsWindow.h"
#include "support/PrivateSpeechDispatcher.h"

namespace {

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

void printSeries(const char* what, std::vector<double> v, const char* unit)
{
    std::sort(v.begin(), v.end());
    std::printf("%-52s median %8.3f %s   max %8.3f %s   (n=%zu)\n", what, v[v.size() / 2], unit, v.back(), unit,
                v.size());
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;

    sortest::PrivateSpeechDispatcher spd;
    if (!spd.start()) {
        std::fprintf(stderr, "speech-dispatcher: %s\n", qPrintable(spd.error()));
        return 1;
    }
    qputenv("SPEECHD_ADDRESS", spd.address().toLocal8Bit());

    std::vector<double> create, ready;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        auto w = TfrSpeechSet::createWithRealEngines(dir.filePath(QStringLiteral("settings-%1.ini").arg(i)));
        create.push_back(ms(t.nsecsElapsed()));
        while (!w->settings().isReady() && t.elapsed() < 60000)
            QTest::qWait(5);
        ready.push_back(ms(t.nsecsElapsed()));
    }
    printSeries("create frSpeechSet, speech-dispatcher running", create, "ms");
    printSeries("  ... until the voice list is complete", ready, "ms");

    {
        auto w = TfrSpeechSet::createWithRealEngines(dir.filePath(QStringLiteral("settings-out.ini")));
        while (!w->settings().isReady())
            QTest::qWait(5);
        std::vector<double> queued, cutting;
        QElapsedTimer t;
        for (int i = 0; i < 2000; ++i) {
            t.start();
            SpeechOut(QStringLiteral("Вариант номер %1").arg(i), false);
            queued.push_back(double(t.nsecsElapsed()) / 1000.0);
            t.start();
            SpeechOut(QStringLiteral("Вопрос номер %1").arg(i), true);
            cutting.push_back(double(t.nsecsElapsed()) / 1000.0);
        }
        printSeries("SpeechOut(text, false)", queued, "us");
        printSeries("SpeechOut(text, true)", cutting, "us");
        SpeechStop();
    }

    {
        std::vector<double> create, known;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer t;
            t.start();
            sor::SpeechDispatcherEngine::Options none;
            none.unixSocket = dir.filePath(QStringLiteral("nobody"));
            none.autospawn = false;
            auto w = std::make_unique<TfrSpeechSet>(std::make_unique<sor::EspeakEngine>(),
                                                    std::make_unique<sor::SpeechDispatcherEngine>(none), QString());
            create.push_back(ms(t.nsecsElapsed()));
            while (!w->settings().isReady() && t.elapsed() < 60000)
                QTest::qWait(1);
            known.push_back(ms(t.nsecsElapsed()));
        }
        printSeries("create frSpeechSet, no speech-dispatcher", create, "ms");
        printSeries("  ... until the voice list is complete", known, "ms");
    }
    return 0;
}
