// Start-up step 5 with the real engines, as a new player meets it: no
// "settings.ini", speech-dispatcher running (a private one, found through the
// standard SPEECHD_ADDRESS rule as the program finds the user's own). A Russian
// voice is chosen, speech is on, the window can be walked by ear, and the
// settings are saved at the end of the program.

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include "app/ProgramSteps.h"
#include "platform/Process.h"
#include "speech/SpeechSettingsWindow.h"
#include "support/PrivateSpeechDispatcher.h"

namespace {
constexpr int kListTimeoutMs = 60000;

bool heardByServer(const sortest::PrivateSpeechDispatcher& spd, const QString& text)
{
    return spd.waitFor([&](const QStringList& p) { return p.contains(QStringLiteral("SPEAK ") + text); });
}
}  // namespace

class TestSpeechStartup : public QObject
{
    Q_OBJECT

    sortest::PrivateSpeechDispatcher spd_;
    QTemporaryDir dir_;

private slots:
    void initTestCase()
    {
        QVERIFY2(spd_.start(), qPrintable(spd_.error()));
        qputenv("SPEECHD_ADDRESS", spd_.address().toLocal8Bit());
    }
    void cleanup() { sor::setHaltHandler(nullptr); }

    void newPlayerGetsARussianVoiceAndKeepsIt()
    {
        const QString ini = dir_.filePath(QStringLiteral("settings.ini"));
        auto window = TfrSpeechSet::createWithRealEngines(ini);
        QCOMPARE(frSpeechSet, window.get());
        sor::SpeechSettings& s = window->settings();
        QTRY_VERIFY_WITH_TIMEOUT(s.isReady(), kListTimeoutMs);

        QVERIFY(s.sapi4Count() > 0);  // espeak-ng's modes come first
        QVERIFY(s.isVoiceIndex(s.IndexTTS()));
        QVERIFY(s.currentEntryName().contains(QLatin1String("Russ")));
        QVERIFY(s.speechOn());
        QVERIFY(SpeechOut(QStringLiteral("Авторизация"), true));
        QVERIFY(heardByServer(spd_, QStringLiteral("Авторизация")));

        // Walk the window by ear.
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        window->cbSelectSpeech->setFocus();
        QVERIFY(heardByServer(spd_, QStringLiteral("Выбран ") + s.currentEntryName() + QStringLiteral(". ")));
        QTest::keyClick(window->cbSelectSpeech, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window->TrackBar2);
        QTest::keyClick(window->TrackBar2, Qt::Key_Right);
        QVERIFY(heardByServer(spd_, QStringLiteral("Быстрее.")));
        QVERIFY(spd_.waitFor([](const QStringList& p) { return p.contains("SET SELF RATE 10"); }));
        QTest::keyClick(window->TrackBar2, Qt::Key_Return);
        QVERIFY(heardByServer(spd_, QStringLiteral("Энтэр. ")));
        QVERIFY(!window->isVisible());

        // An immediate halt saves too.
        sor::setHaltHandler([] { throw sor::HaltRequested{}; });
        QVERIFY_THROWS_EXCEPTION(sor::HaltRequested, sor::haltProgram());
        QSettings saved(ini, QSettings::IniFormat);
        QCOMPARE(saved.value("Speech/SpeechIndex").toInt(), s.IndexTTS());
        QVERIFY(!saved.contains("Speech/SpeechOnOff"));  // on by itself, not by the player
        QCOMPARE(saved.value("Speech/SpeedSpeak").toString(), QStringLiteral("1"));
    }

    void theProgramsOwnStepKeepsTheFileBesideIt()
    {
        const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/settings.ini");
        QFile::remove(beside);
        {
            sor::ProgramSteps steps(*qApp);
            steps.createSpeechSet();
            QVERIFY(frSpeechSet);
            QCOMPARE(frSpeechSet->settings().iniPath(), beside);
            QTRY_VERIFY_WITH_TIMEOUT(frSpeechSet->settings().isReady(), kListTimeoutMs);
        }
        QVERIFY(!frSpeechSet);
        QVERIFY(QFile::exists(beside));  // the normal end saves
        QSettings saved(beside, QSettings::IniFormat);
        QVERIFY(saved.contains("Speech/SpeechIndex"));
        QVERIFY(!saved.contains("Speech/SpeechOnOff"));             // never set by the player
        QFile::remove(beside);
    }
};

QTEST_MAIN(TestSpeechStartup)
#include "tst_speechstartup.moc"
