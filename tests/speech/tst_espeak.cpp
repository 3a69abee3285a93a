// The modes family against the real espeak-ng, in retrieval mode: the sound goes
// to a sink that counts samples (and plays at roughly real speed, so that a purge
// meets speech still running).

#include <QTest>
#include <atomic>
#include <thread>

#include "speech/EspeakEngine.h"
#include "speech/FakeSpeechEngine.h"
#include "speech/SpeechRoutines.h"
#include "speech/SpeechSettings.h"

using sor::EspeakEngine;

namespace {

std::atomic<long> samples{0};

void countingSink(const short*, int count)
{
    samples += count;
    // About real time for 22,050 samples a second, so that long texts take long.
    std::this_thread::sleep_for(std::chrono::microseconds(count * 45));
}

int indexOf(const QStringList& names, const QString& name)
{
    return int(names.indexOf(name));
}

}  // namespace

class TestEspeak : public QObject
{
    Q_OBJECT

    std::unique_ptr<EspeakEngine> engine_;

private slots:
    void initTestCase()
    {
        engine_ = std::make_unique<EspeakEngine>(EspeakEngine::Output::Retrieval, countingSink);
        QVERIFY(engine_->available());
    }

    void listsItsModes()
    {
        const QStringList names = engine_->voices();
        QVERIFY(engine_->voicesKnown());
        QVERIFY2(names.size() > 10, qPrintable(names.join(", ")));
        QVERIFY(names.contains(QStringLiteral("Russian")));
        QVERIFY(!engine_->select(-1));
        QVERIFY(!engine_->select(int(names.size())));
    }

    void speaksARussianPhraseAndAPurgeStopsIt()
    {
        QVERIFY(engine_->select(indexOf(engine_->voices(), QStringLiteral("Russian"))));
        samples = 0;
        engine_->speak(QStringLiteral("Вопрос номер один. Столица Франции?"));
        QTRY_VERIFY_WITH_TIMEOUT(samples > 10000, 30000);

        QString longText;
        for (int i = 0; i < 40; ++i)
            longText += QStringLiteral("Это длинный вопрос, который никто не дослушает до конца. ");
        engine_->purge();
        samples = 0;
        engine_->speak(longText);
        QTRY_VERIFY_WITH_TIMEOUT(samples > 0, 30000);
        engine_->purge();
        const long atPurge = samples;
        QTest::qWait(500);
        QCOMPARE(samples.load(), atPurge);  // not one sample after the purge returned

        // A purge does not leave the engine mute.
        engine_->speak(QStringLiteral("Правильно."));
        QTRY_VERIFY_WITH_TIMEOUT(samples > atPurge, 30000);
    }

    void speechSettingsSpeakThroughACommittedMode()
    {
        // The engine is shared with the settings, which own their own instance.
        auto modes = std::make_unique<EspeakEngine>(EspeakEngine::Output::Retrieval, countingSink);
        const int russian = indexOf(modes->voices(), QStringLiteral("Russian"));
        sor::SpeechSettings settings(std::move(modes),
                                     std::make_unique<sor::FakeSpeechEngine>("voices", QStringList(), nullptr),
                                     QString());
        settings.SetIndexTTS(russian);
        settings.setSpeechOn(true);
        QVERIFY(settings.modeEngineReady());
        engine_->purge();
        QTest::qWait(100);
        samples = 0;
        QVERIFY(SpeechOut(QStringLiteral("Правильно. Вопрос номер два."), true));
        QTRY_VERIFY_WITH_TIMEOUT(samples > 10000, 30000);
        SpeechStop();
    }

    void wordsPerMinute_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("wpm");
        QTest::newRow("slowest") << -10 << 80;
        QTest::newRow("normal") << 0 << 175;
        QTest::newRow("fastest") << 10 << 450;
        QTest::newRow("beyond") << 15 << 450;
        QTest::newRow("half slower") << -5 << 128;
        QTest::newRow("half faster") << 5 << 312;
    }
    void wordsPerMinute()
    {
        QFETCH(int, rate);
        QFETCH(int, wpm);
        QCOMPARE(EspeakEngine::wordsPerMinute(rate), wpm);
    }
};

QTEST_GUILESS_MAIN(TestEspeak)
#include "tst_espeak.moc"
