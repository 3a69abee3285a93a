// The voices family against a real speech-dispatcher of the test's own (ALSA
// null device, protocol log): what the server receives for what the program says,
// and that the program neither hangs nor blocks when the server is gone or dumb.

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "speech/FakeSpeechEngine.h"
#include "speech/SpeechDispatcherEngine.h"
#include "speech/SpeechRoutines.h"
#include "speech/SpeechSettings.h"
#include "support/PrivateSpeechDispatcher.h"

using sor::SpeechDispatcherEngine;
using sor::SpeechSettings;

namespace {

constexpr int kListTimeoutMs = 60000;  // listing 13,000 voices on a loaded machine

SpeechDispatcherEngine::Options at(const QString& socket)
{
    SpeechDispatcherEngine::Options o;
    o.unixSocket = socket;
    o.autospawn = false;
    return o;
}

SpeechDispatcherEngine::Options withLongWaits(SpeechDispatcherEngine::Options o)
{
    o.replyTimeoutMs = 30000;
    o.reconnectIntervalMs = 30000;
    return o;
}

// The commands that make up what the player hears, without the chatter.
QStringList audible(const QStringList& protocol)
{
    QStringList out;
    for (const QString& c : protocol) {
        if (c.startsWith(QLatin1String("SPEAK ")) || c.startsWith(QLatin1String("CANCEL")) ||
            c.startsWith(QLatin1String("STOP")) || c.startsWith(QLatin1String("SET SELF SYNTHESIS_VOICE")) ||
            c.startsWith(QLatin1String("SET SELF VOLUME")) || c.startsWith(QLatin1String("SET SELF RATE")) ||
            c.startsWith(QLatin1String("SET SELF LANGUAGE")))
            out.append(c);
    }
    return out;
}

// A socket that takes connections and never says a word.
class DumbServer
{
public:
    explicit DumbServer(const QString& path)
    {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        const QByteArray p = path.toLocal8Bit();
        std::memcpy(a.sun_path, p.constData(), size_t(p.size()));
        ok_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd_, 8) == 0;
    }
    ~DumbServer()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool ok() const { return ok_; }

private:
    int fd_ = -1;
    bool ok_ = false;
};

}  // namespace

class TestSpeechDispatcher : public QObject
{
    Q_OBJECT

    sortest::PrivateSpeechDispatcher spd_;
    QTemporaryDir dir_;

private slots:
    void initTestCase() { QVERIFY2(spd_.start(), qPrintable(spd_.error())); }

    void speechOutReachesTheServerInOrder()
    {
        auto voices = std::make_unique<SpeechDispatcherEngine>(at(spd_.socketPath()));
        SpeechDispatcherEngine* engine = voices.get();
        SpeechSettings settings(std::make_unique<sor::FakeSpeechEngine>(QStringLiteral("modes"), QStringList(), nullptr),
                                std::move(voices), dir_.filePath(QStringLiteral("settings.ini")), kListTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(settings.isReady(), kListTimeoutMs);

        // Only the plain voices, not every voice with every variant.
        const QStringList names = engine->voices();
        QVERIFY(!names.isEmpty());
        QVERIFY2(names.size() < 1000, qPrintable(QString::number(names.size())));
        QCOMPARE(settings.entries(), names);
        QString russian;
        for (const QString& n : names)
            if (n.contains(QLatin1String("Russ")))
                russian = n;
        QVERIFY(!russian.isEmpty());
        QCOMPARE(settings.currentEntryName(), russian);
        QVERIFY(settings.speechOn());

        SpeechOut(QStringLiteral("Вопрос номер один"), true);
        SpeechOut(QStringLiteral("Вариант первый"), false);
        SpeechOut(QStringLiteral("Две строки\n.точка в начале"), false);
        // Texts still waiting to be sent when a stop comes are dropped on our side;
        // let these reach the server first.
        QVERIFY(engine->flush(30000));
        SpeechOut(QStringLiteral("Правильно. "), true);
        settings.moveTrackBar2(5);
        QVERIFY(engine->flush(30000));
        QVERIFY(spd_.waitFor([](const QStringList& p) { return p.contains("SET SELF RATE 50"); }));

        const QStringList protocol = spd_.protocol();
        QCOMPARE(audible(protocol), QStringList({
                                        "SET SELF SYNTHESIS_VOICE " + russian,
                                        "SET SELF VOLUME 100",
                                        "SET SELF RATE 0",
                                        "CANCEL SELF",
                                        "SPEAK Вопрос номер один",
                                        "SPEAK Вариант первый",
                                        "SPEAK Две строки\n.точка в начале",
                                        "CANCEL SELF",
                                        "SPEAK Правильно. ",
                                        "SET SELF RATE 50",
                                    }));
        // Our own queue only, always as messages: never another program's speech.
        for (const QString& c : protocol) {
            if (c.startsWith(QLatin1String("SET SELF PRIORITY")))
                QCOMPARE(c, QStringLiteral("SET SELF PRIORITY MESSAGE"));
            QVERIFY2(!c.startsWith(QLatin1String("CANCEL ALL")) && !c.startsWith(QLatin1String("STOP")), qPrintable(c));
        }
    }

    void aRestartedServerIsReconnectedWithTheSameVoice()
    {
        auto voices = std::make_unique<SpeechDispatcherEngine>(at(spd_.socketPath()));
        SpeechDispatcherEngine* engine = voices.get();
        SpeechSettings settings(std::make_unique<sor::FakeSpeechEngine>(QStringLiteral("modes"), QStringList(), nullptr),
                                std::move(voices), QString(), kListTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(settings.isReady(), kListTimeoutMs);
        settings.moveTrackBar2(-3);
        SpeechOut(QStringLiteral("До перезапуска"), true);
        QVERIFY(engine->flush(30000));
        QVERIFY(spd_.waitFor([](const QStringList& p) { return p.contains("SPEAK До перезапуска"); }));

        spd_.stop();
        QVERIFY2(spd_.start(), qPrintable(spd_.error()));
        SpeechOut(QStringLiteral("После перезапуска"), true);
        QVERIFY(engine->flush(30000));
        QVERIFY(spd_.waitFor([](const QStringList& p) { return p.contains("SPEAK После перезапуска"); }));

        // On the new connection the voice, volume and rate come first.
        const QStringList protocol = spd_.protocol();
        qsizetype opened = protocol.size() - 1;
        while (opened >= 0 && !protocol.at(opened).startsWith(QLatin1String("SET SELF CLIENT_NAME")))
            --opened;
        QVERIFY(opened > 0);
        QCOMPARE(audible(protocol.mid(opened)),
                 QStringList({"SET SELF SYNTHESIS_VOICE " + settings.currentEntryName(), "SET SELF VOLUME 100",
                              "SET SELF RATE -30", "SPEAK После перезапуска"}));
    }

    // The engine's own waits are made long here (30 s), so that a wait on any of
    // them shows at once against the few seconds the whole case may take.
    void noServerGivesNoVoicesAndNoWait()
    {
        QElapsedTimer t;
        t.start();
        {
            auto voices = std::make_unique<SpeechDispatcherEngine>(
                withLongWaits(at(dir_.filePath(QStringLiteral("nobody")))));
            SpeechDispatcherEngine* engine = voices.get();
            QSignalSpy known(engine, &sor::SpeechEngine::voicesReady);
            SpeechSettings settings(
                std::make_unique<sor::FakeSpeechEngine>(QStringLiteral("modes"), QStringList({"Russian"}), nullptr),
                std::move(voices), QString());
            QVERIFY(known.count() > 0 || known.wait(3000));
            QVERIFY(settings.isReady());
            QVERIFY(engine->voices().isEmpty());
            QCOMPARE(settings.entries(), QStringList({"Russian"}));
            for (int i = 0; i < 100; ++i)
                engine->speak(QStringLiteral("никто не слышит"));
            engine->purge();
            QVERIFY(engine->flush(3000));
        }
        // No connection to wait for: a loaded machine takes well under 3 s for it all.
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
    }

    void aServerThatNeverAnswersBlocksNothing()
    {
        const QString path = dir_.filePath(QStringLiteral("dumb"));
        DumbServer dumb(path);
        QVERIFY(dumb.ok());
        QElapsedTimer t;
        t.start();
        {
            auto voices = std::make_unique<SpeechDispatcherEngine>(withLongWaits(at(path)));
            SpeechDispatcherEngine* engine = voices.get();
            SpeechSettings settings(
                std::make_unique<sor::FakeSpeechEngine>(QStringLiteral("modes"), QStringList({"Russian"}), nullptr),
                std::move(voices), QString(), 300);
            QVERIFY(!engine->voicesKnown());
            SpeechOut(QStringLiteral("Авторизация"), true);
            // The settings go on without the voices after their guard time.
            QTRY_VERIFY_WITH_TIMEOUT(settings.isReady(), 3000);
            QCOMPARE(settings.entries(), QStringList({"Russian"}));
            for (int i = 0; i < 100; ++i) {
                engine->purge();
                engine->speak(QStringLiteral("никто не ответит"));
            }
        }
        // Creating, a hundred requests and the end together: the settings' guard of
        // 0.3 s and nothing of the 30 s reply timeout.
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
    }

    void protocolLogParsing()
    {
        const QByteArray log =
            "[t] speechd:     17:DATA:|SET SELF CLIENT_NAME a:b:c\r\n| (30)\n"
            "[t] speechd:     17:DATA:|speak\r\n| (7)\n"
            "[t] speechd:     17:DATA:|one\r\n..two\r\n.\r\n| (15)\n"
            "[t] speechd:     17:DATA:|CANCEL SELF\r\n| (13)\n";
        QCOMPARE(sortest::PrivateSpeechDispatcher::parseLog(log),
                 QStringList({"SET SELF CLIENT_NAME a:b:c", "SPEAK one\n.two", "CANCEL SELF"}));
    }
};

QTEST_GUILESS_MAIN(TestSpeechDispatcher)
#include "tst_speechdispatcher.moc"
