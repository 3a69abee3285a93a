// The speech settings on recording fake engines: the voice list, restoring and
// saving "settings.ini", committing and applying entries, the rate, speaking and
// stopping, and the speech routines that forward to them.

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "support/SpeechRig.h"
#include "platform/Process.h"
#include "speech/FakeSpeechEngine.h"
#include "speech/SpeechRoutines.h"
#include "speech/SpeechSettings.h"

using sor::FakeSpeechEngine;
using sor::SpeechSettings;

namespace {

// Speech settings over two fakes that share one log.
struct Settings
{
    std::shared_ptr<QStringList> log = std::make_shared<QStringList>();
    FakeSpeechEngine* modes = nullptr;
    FakeSpeechEngine* voices = nullptr;
    std::unique_ptr<SpeechSettings> s;

    Settings(const QStringList& modeNames, const QStringList& voiceNames, const QString& ini = {},
             bool voicesKnown = true, int guardMs = SpeechSettings::kListGuardMs)
    {
        auto m = std::make_unique<FakeSpeechEngine>(QStringLiteral("modes"), modeNames, log);
        auto v = std::make_unique<FakeSpeechEngine>(QStringLiteral("voices"), voiceNames, log, voicesKnown);
        modes = m.get();
        voices = v.get();
        s = std::make_unique<SpeechSettings>(std::move(m), std::move(v), ini, guardMs);
    }
    SpeechSettings* operator->() const { return s.get(); }

    // The log from here on.
    void clearLog() { log->clear(); }
};

void writeIni(const QString& path, const QByteArray& content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

const QStringList kModes = {QStringLiteral("English"), QStringLiteral("Russian")};
const QStringList kVoices = {QStringLiteral("Russian"), QStringLiteral("Russian (Latvia)"),
                             QStringLiteral("English")};

}  // namespace

class TestSpeechSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    // A new file for every case: QSettings keeps files it has read by name, size
    // and time, which a rewrite within the same second may not change.
    QString ini_;
    int files_ = 0;
    QString ini() const { return ini_; }

private slots:
    void init() { ini_ = dir_.filePath(QStringLiteral("settings-%1.ini").arg(++files_)); }
    void cleanup() { sor::setHaltHandler(nullptr); }

    // --- the speech routines ------------------------------------------------------

    void romanToInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("XIV") << "XIV" << 14;
        QTest::newRow("MCMXCIV") << "MCMXCIV" << 1994;
        QTest::newRow("MMXVI") << "MMXVI" << 2016;
        QTest::newRow("IIII") << "IIII" << 4;
        QTest::newRow("IVX: after a subtraction the next is added") << "IVX" << 6;
        QTest::newRow("IIX") << "IIX" << 10;
        QTest::newRow("Mv: small letters are thousands") << "Mv" << 4000;
        QTest::newRow("x") << "x" << 10000;
        QTest::newRow("m") << "m" << 1000000;
        QTest::newRow("iv: no small i") << "iv" << -1;
        QTest::newRow("a blank") << "XX I" << -1;
        QTest::newRow("not a numeral") << "ABC" << -1;
        QTest::newRow("256 characters read as empty") << QString(256, QLatin1Char('X')) << 0;
        QTest::newRow("300 characters: only the first 44 are read")
            << QString(44, QLatin1Char('I')) + QString(256, QLatin1Char('?')) << 44;
    }
    void romanToInt()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(SpeechSettings::RomanToInt(text), value);
    }

    void keyCharToSpeech_data()
    {
        QTest::addColumn<QChar>("c");
        QTest::addColumn<QString>("spoken");
        const char* latin = "ABCDEFGH";
        const QStringList names = {"А ", "Бэ ", "Цэ ", "Дэ ", "Йе ", "Эф ", "Гэ ", "Аш "};
        for (int i = 0; i < 8; ++i) {
            QTest::addRow("%c", latin[i]) << QChar(latin[i]) << names[i];
            QTest::addRow("%c", latin[i] + 32) << QChar(latin[i] + 32) << names[i];
        }
        QTest::newRow("I is itself") << QChar('I') << "I";
        QTest::newRow("z") << QChar('z') << "z";
        QTest::newRow("digit") << QChar('7') << "7";
        QTest::newRow("Cyrillic") << QChar(0x0416) << QString(QChar(0x0416));
        QTest::newRow("at sign") << QChar('@') << "@";
        QTest::newRow("blank") << QChar(' ') << " ";
        QTest::newRow("Backspace is a control character") << QChar(8) << QString(QChar(8));
    }
    void keyCharToSpeech()
    {
        QFETCH(QChar, c);
        QFETCH(QString, spoken);
        QCOMPARE(KeyCharToSpeech(c), spoken);
        QCOMPARE(SpeechSettings::LatToRusForSpeech(c), spoken);
    }

    void routinesAreSilentBeforeTheSettingsExist()
    {
        QVERIFY(!sor::speechBackend());
        QVERIFY(SpeechOut(QStringLiteral("Ошибка соединения"), true));
        SpeechStop();
    }

    void routinesForwardWithStopFirst()
    {
        sortest::SpeechRig rig;
        SpeechOut(QStringLiteral("Вопрос"), true);
        SpeechOut(QStringLiteral("Вариант 1"), false);
        SpeechOut(QStringLiteral("   "), true);  // a blank text still stops
        SpeechOut(QStringLiteral("Правильно. "), false);
        SpeechStop();
        QCOMPARE(rig.heard(), QStringList({"!Вопрос", "Вариант 1", "!Правильно. ", "!"}));

        // Switched off: neither stops nor speaks, and says it went well.
        rig.clear();
        rig.setSpeechOn(false);
        QVERIFY(SpeechOut(QStringLiteral("Вопрос"), true));
        SpeechStop();
        QVERIFY(rig.events().isEmpty());
    }

    void rigGoesAndRoutinesFallSilent()
    {
        {
            sortest::SpeechRig rig;
            QVERIFY(sor::speechBackend());
        }
        QVERIFY(!sor::speechBackend());
        QVERIFY(SpeechOut(QStringLiteral("x"), true));
    }

    // --- the voice list and the missing settings file -------------------------

    void voiceListHasModesFirst()
    {
        Settings s(kModes, kVoices);
        QCOMPARE(s->entries(), kModes + kVoices);
        QCOMPARE(s->sapi4Count(), 2);
        QVERIFY(!s->isVoiceIndex(-1));
        QVERIFY(!s->isVoiceIndex(1));
        QVERIFY(s->isVoiceIndex(2));
    }

    void missingFile_data()
    {
        QTest::addColumn<QStringList>("modes");
        QTest::addColumn<QStringList>("voices");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("on");
        QTest::newRow("the last Russian voice wins over modes") << kModes << kVoices << 3 << true;
        QTest::newRow("a Russian mode when no voice is") << kModes << QStringList({"English"}) << 1 << true;
        QTest::newRow("no modes: indexes from 0 are voices") << QStringList() << kVoices << 1 << true;
        QTest::newRow("case matters") << QStringList({"russian"}) << QStringList({"RUSSIAN"}) << -1 << false;
        QTest::newRow("nothing Russian") << kModes.mid(0, 1) << QStringList({"English"}) << -1 << false;
        QTest::newRow("no engines at all") << QStringList() << QStringList() << -1 << false;
    }
    void missingFile()
    {
        QFETCH(QStringList, modes);
        QFETCH(QStringList, voices);
        QFETCH(int, index);
        QFETCH(bool, on);
        Settings s(modes, voices, ini());
        QCOMPARE(s->IndexTTS(), index);
        QCOMPARE(s->speechOn(), on);
        QCOMPARE(s->currentEntry(), index);
        QCOMPARE(s->rateGroupEnabled(), s->isVoiceIndex(index) && index >= 0);
    }

    void missingFileChoosesAndSpeaksWithTheRussianVoice()
    {
        Settings s(kModes, kVoices, ini());
        QCOMPARE(s->currentEntryName(), QStringLiteral("Russian (Latvia)"));
        QCOMPARE(*s.log, QStringList({"voices: select 1 Russian (Latvia)", "voices: volume 100", "voices: rate 0"}));
        s.clearLog();
        QVERIFY(SpeechOut(QStringLiteral("Привет"), true));
        QCOMPARE(*s.log, QStringList({"voices: purge", "voices: speak Привет"}));
    }

    void noVoiceChosenSwitchesSpeechOffAtFirstRequest()
    {
        Settings s(QStringList({"English"}), QStringList(), ini());
        QCOMPARE(s->IndexTTS(), -1);
        QSignalSpy switched(s.s.get(), &SpeechSettings::speechSwitched);
        s->setSpeechOn(true);
        s.clearLog();
        QVERIFY(!SpeechOut(QStringLiteral("Привет"), false));
        QVERIFY(!s->speechOn());
        QCOMPARE(switched.size(), 2);
        QCOMPARE(switched.last().at(0).toBool(), false);
        QVERIFY(s.log->isEmpty());
    }

    // --- "settings.ini" -------------------------------------------------------

    void storedSettings_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("label");
        QTest::newRow("a voice with its rate")
            << QByteArray("[Speech]\nSpeechIndex=2\nSpeechOnOff=1\nSpeedSpeak=-4\n") << 2 << true << -4 << "-4";
        QTest::newRow("a mode: the stored rate is not applied")
            << QByteArray("[Speech]\nSpeechIndex=0\nSpeechOnOff=1\nSpeedSpeak=5\n") << 0 << true << 0 << "0";
        QTest::newRow("switched off")
            << QByteArray("[Speech]\nSpeechIndex=4\nSpeechOnOff=0\nSpeedSpeak=3\n") << 4 << false << 3 << "3";
        QTest::newRow("any non-zero number is on")
            << QByteArray("[Speech]\nSpeechIndex=4\nSpeechOnOff=7\n") << 4 << true << 0 << "0";
        QTest::newRow("a rate above the range is clamped")
            << QByteArray("[Speech]\nSpeechIndex=2\nSpeechOnOff=1\nSpeedSpeak=25\n") << 2 << true << 10 << "10";
        QTest::newRow("a rate below the range is clamped")
            << QByteArray("[Speech]\nSpeechIndex=2\nSpeechOnOff=1\nSpeedSpeak=-99\n") << 2 << true << -10 << "-10";
        QTest::newRow("not numbers read as the defaults, then the Russian search")
            << QByteArray("[Speech]\nSpeechIndex=abc\nSpeechOnOff=yes\nSpeedSpeak=fast\n") << 3 << true << 0 << "0";
        QTest::newRow("a voice that is gone: the Russian search, the switch as stored")
            << QByteArray("[Speech]\nSpeechIndex=5\nSpeechOnOff=0\nSpeedSpeak=2\n") << 3 << false << 2 << "2";
        QTest::newRow("a voice that is gone, speech on")
            << QByteArray("[Speech]\nSpeechIndex=5\nSpeechOnOff=1\n") << 3 << true << 0 << "0";
        QTest::newRow("a negative index names no voice: the Russian search turns speech on")
            << QByteArray("[Speech]\nSpeechIndex=-7\nSpeechOnOff=0\n") << 3 << true << 0 << "0";
        QTest::newRow("no switch stored: the Russian voice turns speech on")
            << QByteArray("[Speech]\nSpeechIndex=9\n") << 3 << true << 0 << "0";
        QTest::newRow("other sections only") << QByteArray("[Other]\nSpeechIndex=2\n") << 3 << true << 0 << "0";
    }
    void storedSettings()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, index);
        QFETCH(bool, on);
        QFETCH(int, speed);
        QFETCH(QString, label);
        writeIni(ini(), file);
        Settings s(kModes, kVoices, ini());
        QCOMPARE(s->IndexTTS(), index);
        QCOMPARE(s->currentEntry(), index);
        QCOMPARE(s->speechOn(), on);
        QCOMPARE(s->SpeedSpeak(), speed);
        QCOMPARE(s->rateLabelText(), label);
        if (s->isVoiceIndex(index)) {
            QCOMPARE(s->trackBar2Position(), speed);
            QCOMPARE(s.voices->rate, speed);
        }
    }

    void storedModeGetsItsEngine()
    {
        writeIni(ini(), "[Speech]\nSpeechIndex=1\nSpeechOnOff=1\n");
        Settings s(kModes, kVoices, ini());
        QVERIFY(s->modeEngineReady());
        QCOMPARE(*s.log, QStringList({"modes: select 1 Russian"}));
        QVERIFY(!s->rateGroupEnabled());
        s.clearLog();
        SpeechOut(QStringLiteral("Вопрос"), true);
        QCOMPARE(*s.log, QStringList({"modes: purge", "modes: speak Вопрос"}));
    }

    void writingKeepsOtherSectionsAndKeys()
    {
        writeIni(ini(), "[Other]\nname=value\n\n[Speech]\nSpeechIndex=2\nSpeechOnOff=1\nSpeedSpeak=1\nVolume=80\n");
        {
            Settings s(kModes, kVoices, ini());
            s->moveTrackBar2(-3);
            s->setSpeechOn(false);
        }
        QSettings file(ini(), QSettings::IniFormat);
        QCOMPARE(file.value("Other/name").toString(), QStringLiteral("value"));
        QCOMPARE(file.value("Speech/Volume").toString(), QStringLiteral("80"));
        QCOMPARE(file.value("Speech/SpeechIndex").toString(), QStringLiteral("2"));
        QCOMPARE(file.value("Speech/SpeechOnOff").toString(), QStringLiteral("0"));
        QCOMPARE(file.value("Speech/SpeedSpeak").toString(), QStringLiteral("-3"));
    }

    // The stored voice is missing this run (its engine is not up yet): the
    // stand-in voice and what follows from it are for this run only. The file
    // comes back byte for byte, or with just the lines the player changed.
    void aMissingVoiceIsNeverWrittenBack_data()
    {
        QTest::addColumn<QString>("player");
        QTest::addColumn<QByteArray>("speech");  // the [Speech] lines expected afterwards
        QTest::newRow("nothing changed") << "" << QByteArray("SpeechIndex=4\r\nSpeechOnOff=0\r\nSpeedSpeak=2\r\n");
        QTest::newRow("speech switched on")
            << "switch" << QByteArray("SpeechIndex=4\r\nSpeechOnOff=1\r\nSpeedSpeak=2\r\n");
        QTest::newRow("the stand-in confirmed with OK")
            << "ok" << QByteArray("SpeechIndex=1\r\nSpeechOnOff=0\r\nSpeedSpeak=2\r\n");
        QTest::newRow("the voice back next time, its rate changed")
            << "rate" << QByteArray("SpeechIndex=4\r\nSpeechOnOff=0\r\nSpeedSpeak=-3\r\n");
    }
    void aMissingVoiceIsNeverWrittenBack()
    {
        QFETCH(QString, player);
        QFETCH(QByteArray, speech);
        const QByteArray before = "; the player's own notes\r\n[Other]\r\nname=Вася\r\n\r\n[Speech]\r\n";
        const QByteArray after = "Volume=80\r\n\r\n[Last]\r\nkey = value\r\n";
        // Entry 4 is the voice "English"; the voices family does not answer this time.
        writeIni(ini(), before + "SpeechIndex=4\r\nSpeechOnOff=0\r\nSpeedSpeak=2\r\n" + after);
        {
            Settings s(kModes, kVoices, ini(), false, 50);
            QTRY_VERIFY(s->isReady());
            QCOMPARE(s->entries(), kModes);
            QCOMPARE(s->IndexTTS(), 1);  // the Russian mode stands in
            QVERIFY(!s->speechOn());     // and speech stays off, as the player left it
            if (player == "switch")
                s->setSpeechOn(true);
            if (player == "ok")
                s->BtClickOk();
            sor::runProgramEndHooks();
        }
        if (player == "rate") {
            Settings s(kModes, kVoices, ini());
            QCOMPARE(s->IndexTTS(), 4);
            QCOMPARE(s->SpeedSpeak(), 2);
            s->moveTrackBar2(-3);
        }
        QFile f(ini());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before + speech + after);
    }

    // Speech that went off by itself (no voice could speak) is not the player's
    // choice: the next run starts with the switch as stored.
    void speechSwitchedOffByItselfIsNotKept()
    {
        const QByteArray stored = "[Speech]\nSpeechIndex=7\nSpeechOnOff=1\nSpeedSpeak=0\n";
        writeIni(ini(), stored);
        {
            Settings s(QStringList({"English"}), QStringList(), ini());
            QCOMPARE(s->IndexTTS(), -1);
            QVERIFY(s->speechOn());
            QVERIFY(!SpeechOut(QStringLiteral("Привет"), true));
            QVERIFY(!s->speechOn());
        }
        QFile f(ini());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), stored);
    }

    void missingKeysAreAddedToTheirSection()
    {
        writeIni(ini(), "[Speech]\nSpeechOnOff=0\n\n[Other]\na=1\n");
        { Settings s(kModes, kVoices, ini()); }
        QFile f(ini());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[Speech]\nSpeechOnOff=0\nSpeechIndex=3\nSpeedSpeak=0\n\n[Other]\na=1\n"));
    }

    void committedIndexIsWrittenNotTheBoxEntry()
    {
        {
            Settings s(kModes, kVoices, ini());
            s->cbSelectSpeechChange(4);  // chosen in the box, never confirmed
        }
        QSettings file(ini(), QSettings::IniFormat);
        QCOMPARE(file.value("Speech/SpeechIndex").toString(), QStringLiteral("3"));
        QVERIFY(!file.contains("Speech/SpeechOnOff"));  // the player never set it
    }

    // The switch is stored only as the player set it. A start that set it by
    // itself (off for want of a Russian voice, on with one found) leaves the
    // next start to decide afresh; the player's own choice rules every later
    // start, together with the voice he set it with.
    void onlyThePlayersSwitchIsStored_data()
    {
        // What a start without a Russian voice used to leave behind.
        const QByteArray leftOff = "[Speech]\nSpeechIndex=-1\nSpeechOnOff=0\nSpeedSpeak=0\n";
        QTest::addColumn<QByteArray>("file");  // before the first start; empty: none
        QTest::addColumn<QStringList>("firstVoices");
        QTest::addColumn<bool>("playerSwitchesOff");
        QTest::addColumn<bool>("onAtNextStart");
        QTest::newRow("no Russian voice the first time, then one") << QByteArray() << QStringList({"English"}) << false
                                                                  << true;
        QTest::newRow("the file such a start left") << leftOff << QStringList({"English"}) << false << true;
        QTest::newRow("the Russian voice found, nothing set") << QByteArray() << kVoices << false << true;
        QTest::newRow("the player switches the voice found off") << QByteArray() << kVoices << true << false;
        QTest::newRow("the player switches it off over the file left") << leftOff << kVoices << true << false;
    }
    void onlyThePlayersSwitchIsStored()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, firstVoices);
        QFETCH(bool, playerSwitchesOff);
        QFETCH(bool, onAtNextStart);
        if (!file.isEmpty())
            writeIni(ini(), file);
        {
            Settings s(QStringList(), firstVoices, ini());
            if (playerSwitchesOff) {
                QVERIFY(s->speechOn());
                s->setSpeechOn(false);
            }
        }
        Settings s(QStringList(), kVoices, ini());
        QCOMPARE(s->IndexTTS(), 1);  // "Russian (Latvia)"
        QCOMPARE(s->speechOn(), onAtNextStart);
    }

    void immediateHaltSavesOnce()
    {
        sor::setHaltHandler([] { throw sor::HaltRequested{}; });
        Settings s(kModes, kVoices, ini());
        s->SetIndexTTS(4);
        QVERIFY_THROWS_EXCEPTION(sor::HaltRequested, sor::haltProgram());
        QCOMPARE(QSettings(ini(), QSettings::IniFormat).value("Speech/SpeechIndex").toString(),
                 QStringLiteral("4"));

        // Saved once: the normal end afterwards does not write again.
        QFile::remove(ini());
        s.s.reset();
        QVERIFY(!QFile::exists(ini()));
    }

    void noFileNoWriting()
    {
        Settings s(kModes, kVoices, QString());
        s.s.reset();
        sor::runProgramEndHooks();
        QVERIFY(!QFile::exists(ini()));
    }

    // --- a voice list that arrives late ----------------------------------------

    void textsWaitForTheVoiceList()
    {
        Settings s(kModes, kVoices, ini(), false);
        QVERIFY(!s->isReady());
        QCOMPARE(s->entries(), QStringList());
        SpeechOut(QStringLiteral("Сообщение"), true);
        SpeechOut(QStringLiteral("Авторизация"), true);
        SpeechOut(QStringLiteral("Редактор E-mail"), false);
        QVERIFY(s.log->isEmpty());

        QSignalSpy ready(s.s.get(), &SpeechSettings::ready);
        s.voices->publishVoices();
        QCOMPARE(ready.size(), 1);
        QCOMPARE(s->entries(), kModes + kVoices);
        QCOMPARE(s->IndexTTS(), 3);
        // Held texts since the last stop follow the restored voice.
        QCOMPARE(s.log->mid(s.log->size() - 2),
                 QStringList({"voices: speak Авторизация", "voices: speak Редактор E-mail"}));
    }

    void anEndBeforeTheListDoesNotOverwriteTheFile()
    {
        const QByteArray stored = "[Speech]\nSpeechIndex=4\nSpeechOnOff=1\nSpeedSpeak=6\n";
        writeIni(ini(), stored);
        {
            Settings s(kModes, kVoices, ini(), false);
            sor::runProgramEndHooks();
        }
        QFile f(ini());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), stored);
    }

    void aListThatNeverComesIsNotWaitedForLong()
    {
        writeIni(ini(), "[Speech]\nSpeechIndex=1\nSpeechOnOff=1\n");
        Settings s(kModes, kVoices, ini(), false, 50);
        SpeechOut(QStringLiteral("Авторизация"), true);
        QTRY_VERIFY(s->isReady());
        QCOMPARE(s->entries(), kModes);
        QCOMPARE(s->IndexTTS(), 1);
        QCOMPARE(*s.log, QStringList({"modes: select 1 Russian", "modes: speak Авторизация"}));
        s.voices->publishVoices();  // too late: the list is never refreshed
        QCOMPARE(s->entries(), kModes);
    }

    // --- committing and applying ------------------------------------------------

    void setIndexTTSBounds()
    {
        Settings s(kModes, kVoices, ini());
        s.clearLog();
        s->SetIndexTTS(5);  // not smaller than the count: nothing at all, not even a stop
        QCOMPARE(s->IndexTTS(), 3);
        QVERIFY(s.log->isEmpty());

        s->SetIndexTTS(4);
        QCOMPARE(s->IndexTTS(), 4);
        QCOMPARE(*s.log, QStringList({"voices: purge", "voices: purge", "voices: select 2 English",
                                      "voices: volume 100"}));

        s->SetIndexTTS(-1);
        QCOMPARE(s->IndexTTS(), -1);
        QCOMPARE(s->currentEntry(), -1);
        QVERIFY(!s->modeEngineReady());
        QVERIFY(!s->rateGroupEnabled());

        s->SetIndexTTS(-5);  // any negative value: no entry in the box, no engine
        QCOMPARE(s->IndexTTS(), -5);
        QCOMPARE(s->currentEntry(), -1);
    }

    void cancelReappliesTheBoxNotTheEarlierChoice()
    {
        Settings s(kModes, kVoices, ini());  // committed: voice 3
        s->cbSelectSpeechChange(1);            // the box shows a mode: it is applied at once
        QVERIFY(s->modeEngineReady());
        QVERIFY(!s->rateGroupEnabled());
        s.clearLog();

        s->BtClickCancel();
        // The box's family is a mode, so the committed index (a voice) is looked
        // for among the modes: there is none, the mode engine goes.
        QCOMPARE(s->IndexTTS(), 3);
        QCOMPARE(s->currentEntry(), 1);
        QVERIFY(!s->modeEngineReady());
        QCOMPARE(*s.log, QStringList({"voices: purge"}));
        s.clearLog();
        SpeechOut(QStringLiteral("Вопрос"), false);  // the committed voice still speaks
        QCOMPARE(*s.log, QStringList({"voices: speak Вопрос"}));
    }

    void bothFamiliesStayAliveTheCommittedIndexDecides()
    {
        writeIni(ini(), "[Speech]\nSpeechIndex=1\nSpeechOnOff=1\n");
        Settings s(kModes, kVoices, ini());
        s->cbSelectSpeechChange(2);  // a voice in the box: the mode engine stays
        QVERIFY(s->modeEngineReady());
        QVERIFY(s->rateGroupEnabled());
        s->BtClickCancel();  // the box's voice is assigned again, the mode still committed
        s.clearLog();
        SpeechOut(QStringLiteral("Раз"), false);
        s->SetIndexTTS(2);
        SpeechOut(QStringLiteral("Два"), false);
        s->SetIndexTTS(1);
        SpeechOut(QStringLiteral("Три"), false);
        QCOMPARE(s.log->filter(QStringLiteral("speak")),
                 QStringList({"modes: speak Раз", "voices: speak Два", "modes: speak Три"}));
    }

    void okCommitsTheBoxAndConfirms()
    {
        Settings s(kModes, kVoices, ini());
        s->cbSelectSpeechChange(4);
        s.clearLog();
        s->BtClickOk();
        QCOMPARE(s->IndexTTS(), 4);
        QCOMPARE(s.log->last(), QStringLiteral("voices: speak Энтэр. "));
    }

    void okWithNoEntryCommitsNoneAndSwitchesSpeechOff()
    {
        Settings s(kModes, kVoices, ini());
        s->cbSelectSpeechChange(-1);
        s.clearLog();
        s->BtClickOk();
        QCOMPARE(s->IndexTTS(), -1);
        QVERIFY(!s->speechOn());
        QVERIFY(s.log->filter(QStringLiteral("speak")).isEmpty());
    }

    void aModeThatWillNotStart()
    {
        Settings s(kModes, kVoices, ini());
        s.modes->refused.insert(0);
        s->SetIndexTTS(0);
        QVERIFY(!s->modeEngineReady());
        s.clearLog();
        QVERIFY(!SpeechOut(QStringLiteral("Вопрос"), true));
        QVERIFY(!s->speechOn());
        QVERIFY(s.log->isEmpty());  // no engine to stop, nothing spoken
    }

    // --- the rate --------------------------------------------------------------

    void rateAtTheEndsOfTheSlider()
    {
        Settings s(kModes, kVoices, ini());
        s->moveTrackBar2(10);
        QCOMPARE(s->SpeedSpeak(), 10);
        QCOMPARE(s->rateLabelText(), QStringLiteral("10"));
        s.clearLog();
        s->moveTrackBar2(11);  // one step past the end: nothing moves, nothing is set
        s->moveTrackBar2(10);
        QVERIFY(s.log->isEmpty());
        QCOMPARE(s->trackBar2Position(), 10);

        s->moveTrackBar2(-10);
        s.clearLog();
        s->moveTrackBar2(-11);
        QVERIFY(s.log->isEmpty());
        QCOMPARE(s->SpeedSpeak(), -10);
        QCOMPARE(s.voices->rate, -10);

        s->SetSpeedSpeak(42);  // from code: clamped, never beyond what the voice takes
        QCOMPARE(s->SpeedSpeak(), 10);
        QCOMPARE(s->trackBar2Position(), 10);
    }

    void rateIsNotAppliedWhileTheBoxShowsAMode()
    {
        Settings s(kModes, kVoices, ini());
        s->moveTrackBar2(4);
        s->cbSelectSpeechChange(0);
        s.clearLog();
        s->TrackBar2Change(7);
        QCOMPARE(s->trackBar2Position(), 7);  // the slider moved...
        QCOMPARE(s->SpeedSpeak(), 4);           // ...but the rate in force did not
        QCOMPARE(s->rateLabelText(), QStringLiteral("4"));
        QVERIFY(s.log->isEmpty());
        s->SetSpeedSpeak(-2);
        QCOMPARE(s->SpeedSpeak(), 4);
    }

    // --- speaking and stopping ---------------------------------------------------

    void speechOutEx_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("on");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("spoken unchanged") << " Да, \n нет " << true << true << QStringList({"voices: speak  Да, \n нет "});
        QTest::newRow("blank: nothing, not even a stop") << " \t\r\n" << true << true << QStringList();
        QTest::newRow("Backspace is blank") << QString(QChar(8)) << true << true << QStringList();
        QTest::newRow("switched off") << "Да" << false << true << QStringList();
    }
    void speechOutEx()
    {
        QFETCH(QString, text);
        QFETCH(bool, on);
        QFETCH(bool, result);
        QFETCH(QStringList, log);
        Settings s(kModes, kVoices, ini());
        s->setSpeechOn(on);
        s.clearLog();
        QCOMPARE(s->SpeechOutEx(text), result);
        s->SpeechStopEx();
        if (on)
            log.append(QStringLiteral("voices: purge"));
        QCOMPARE(*s.log, log);
    }

    // Waiting for the list: it ends when the families answer, or, when one never
    // does, at the guard time, with the list as it stands.
    void waitUntilReady()
    {
        Settings late(kModes, kVoices, {}, false);
        QVERIFY(!late->isReady());
        QTimer::singleShot(50, [&] { late.voices->publishVoices(); });
        late->waitUntilReady();
        QVERIFY(late->isReady());
        QCOMPARE(late->entries().size(), kModes.size() + kVoices.size());

        Settings silent(kModes, kVoices, {}, false, 300);
        QElapsedTimer waited;
        waited.start();
        silent->waitUntilReady();
        QVERIFY(silent->isReady());
        QVERIFY(waited.elapsed() < 5000);
        QCOMPARE(silent->entries(), kModes);

        late->waitUntilReady();  // ready already: returns at once
    }

    // --- where the file lives ----------------------------------------------------

    void settingsFileLocation()
    {
        QTemporaryDir program;
        QTemporaryDir user;
        QCOMPARE(sor::speechSettingsFile(program.path(), user.path()), program.filePath("settings.ini"));
        writeIni(program.filePath("settings.ini"), "[Speech]\n");
        QCOMPARE(sor::speechSettingsFile(program.path(), user.path()), program.filePath("settings.ini"));
        // A folder nobody can write in (not even root).
        QCOMPARE(sor::speechSettingsFile(QStringLiteral("/proc"), user.path()), user.filePath("settings.ini"));
        QCOMPARE(sor::speechSettingsFile(QStringLiteral("/nonexistent/sorventa"), user.path()),
                 user.filePath("settings.ini"));

        // Installed: the program's folder is the system's, even when it can be
        // written (by root), and also when reached through a link.
        QCOMPARE(sor::speechSettingsFile(program.path(), user.path(), program.path()), user.filePath("settings.ini"));
        const QString link = user.filePath(QStringLiteral("bin"));
        QVERIFY(QFile::link(program.path(), link));
        QCOMPARE(sor::speechSettingsFile(link, user.path(), program.path()), user.filePath("settings.ini"));
        QTemporaryDir elsewhere;
        QCOMPARE(sor::speechSettingsFile(program.path(), user.path(), elsewhere.path()),
                 program.filePath("settings.ini"));
    }

    // Speech brought up for a notice reads the player's file and never writes it,
    // not at its end and not at the end of the program.
    void keptFileIsNeverWritten()
    {
        writeIni(ini(), "[Speech]\nSpeechIndex=3\nSpeechOnOff=0\nSpeedSpeak=4\n");
        const QByteArray before = [&] { QFile f(ini()); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); }();
        {
            Settings s(kModes, kVoices, ini());
            s->keepFileAsItIs();
            QCOMPARE(s->IndexTTS(), 3);
            QCOMPARE(s->SpeedSpeak(), 4);
            s->setSpeechOn(true);
            s->SetSpeedSpeak(-2);
            sor::runProgramEndHooks();
        }
        QFile f(ini());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);

        const QString absent = dir_.filePath(QStringLiteral("absent/settings.ini"));
        {
            Settings s(kModes, kVoices, absent);
            s->keepFileAsItIs();
        }
        QVERIFY(!QFile::exists(absent));
    }

    void savingCreatesTheConfigurationFolder()
    {
        const QString path = dir_.filePath(QStringLiteral("config/SorventaTavrek/settings.ini"));
        {
            Settings s(kModes, kVoices, path);
        }
        QCOMPARE(QSettings(path, QSettings::IniFormat).value("Speech/SpeechIndex").toString(), QStringLiteral("3"));
    }
};

QTEST_GUILESS_MAIN(TestSpeechSettings)
#include "tst_speechsettings.moc"
