// The version check at start-up: the weight rule, the updater started beside the
// program, the notice when it cannot be started, and the texts that end the
// program without a message.

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cerrno>
#include <sys/prctl.h>
#include <sys/wait.h>

#include "platform/AppInfo.h"
#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "data/VersionCheck.h"
#include "speech/SpeechRoutines.h"
#include "support/MessageRecorder.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"

using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();

bool setRequiredVersion(const QString* text)
{
    if (!TestServer::adminExec(kDb, QStringLiteral("DELETE FROM Version")))
        return false;
    if (!text)
        return true;
    QString quoted = *text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return TestServer::adminExec(kDb, QStringLiteral("INSERT INTO Version (VerSorventa) VALUES ('%1')").arg(quoted));
}

// A stand-in updater that leaves a mark when it runs.
void writeUpdater(const QString& dir, bool executable)
{
    QFile f(dir + QLatin1Char('/') + TDataModule1::updaterFileName());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("#!/bin/sh\ntouch '%1/updater-ran'\n").arg(dir).toUtf8());
    f.close();
    if (executable)
        QVERIFY(f.setPermissions(f.permissions() | QFile::ExeOwner));
}

// The updater is started detached, so it is no child of this process. As the
// subreaper of everything it starts, the test becomes its parent anyway and can
// tell for certain whether one was started: once PrepareConnection has returned,
// a started updater is running or has ended, and either way it is our child.
// Returns how many there were: those that ended (reaped here), and one more
// when some still run after `waitMs`.
int reapUpdaters(int waitMs)
{
    int reaped = 0;
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        int status = 0;
        const pid_t pid = ::waitpid(-1, &status, WNOHANG);
        if (pid > 0) {
            ++reaped;
            continue;
        }
        if (pid < 0)
            return reaped;  // ECHILD: no child at all any more
        if (deadline.hasExpired())
            return reaped + 1;  // still running
        QThread::msleep(10);
    }
}

}  // namespace

class TestVersion : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::MessageRecorder> messages;

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
        QCOMPARE(sor::appVersion(), QStringLiteral("3.1.0.0"));
        QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        QCOMPARE(reapUpdaters(0), 0);
    }

    void init()
    {
        sor::resetSessionContext();
        messages = std::make_unique<sortest::MessageRecorder>();
    }

    void cleanup() { messages.reset(); }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("parsed");  // elements 0 to 3
        QTest::newRow("plain") << "3.1.0.0" << QList<int>{0, 0, 1, 3};
        QTest::newRow("blanks around numbers") << " 3 . 1 .\t0 . 12 " << QList<int>{12, 0, 1, 3};
        QTest::newRow("big parts") << "10.20.30.40" << QList<int>{40, 30, 20, 10};
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, parsed);
        const TiaVer v = AppVerToIAVer(text);
        QCOMPARE((QList<int>{v[0], v[1], v[2], v[3]}), parsed);
    }

    void parseRefuses_data()
    {
        QTest::addColumn<QString>("text");
        for (const char* t : {"", "3.1", "3.1.0", "3.1.0.0.5", "3..1.0", "3.1.x.0", "3.1.0.0a", "3 1.0.0.0", "3,1,0,0",
                              " . . . "})
            QTest::newRow(t) << QString::fromLatin1(t);
    }

    void parseRefuses()
    {
        QFETCH(QString, text);
        QVERIFY_THROWS_EXCEPTION(sor::EConvertError, AppVerToIAVer(text));
    }

    // Numbers of 10 or more carry into the next place of the weight.
    void weight()
    {
        QCOMPARE(VerWeight(AppVerToIAVer("3.1.0.0")), qint64(3100));
        QCOMPARE(VerWeight(AppVerToIAVer("3.0.10.0")), qint64(3100));
        QCOMPARE(VerWeight(AppVerToIAVer("2.11.0.1")), qint64(3101));
        QCOMPARE(VerToText(AppVerToIAVer(" 3 . 1 . 0 . 7 ")), QStringLiteral("3.1.0.7"));
    }

    // The program is 3.1.0.0. Current: no updater. Outdated: the updater beside the
    // program runs, without a message, and AppOutdated tells start-up to end.
    void check_data()
    {
        QTest::addColumn<QString>("required");
        QTest::addColumn<bool>("current");
        QTest::newRow("equal") << "3.1.0.0" << true;
        QTest::newRow("blanks around") << "  3.1.0.0 \t" << true;
        QTest::newRow("older") << "3.0.9.9" << true;
        QTest::newRow("3.0.10.0 weighs as 3.1.0.0") << "3.0.10.0" << true;
        QTest::newRow("newer fourth") << "3.1.0.1" << false;
        QTest::newRow("newer first") << "4.0.0.0" << false;
        QTest::newRow("3.0.10.1 outweighs") << "3.0.10.1" << false;
    }

    void check()
    {
        QFETCH(QString, required);
        QFETCH(bool, current);
        QVERIFY(setRequiredVersion(&required));
        QTemporaryDir folder;
        writeUpdater(folder.path(), true);

        TDataModule1 dm(TestServer::clientParams(kDb));
        dm.UpdaterFolder = folder.path();
        QVERIFY(dm.PrepareConnection());
        QCOMPARE(AppOutdated, !current);
        QVERIFY(messages->messages.isEmpty());
        const QString mark = folder.path() + QStringLiteral("/updater-ran");
        QCOMPARE(reapUpdaters(current ? 0 : 10000), current ? 0 : 1);
        QCOMPARE(QFile::exists(mark), !current);
    }

    // An updater that cannot be started: the plain notice with the program's version.
    void updaterCannotStart_data()
    {
        QTest::addColumn<bool>("present");
        QTest::newRow("missing") << false;
        QTest::newRow("not a program") << true;
    }

    void updaterCannotStart()
    {
        QFETCH(bool, present);
        const QString required = QStringLiteral("3.1.0.1");
        QVERIFY(setRequiredVersion(&required));
        QTemporaryDir folder;
        if (present)
            writeUpdater(folder.path(), false);
        sortest::SpeechRig speech(sortest::SpeechRig::Window::Never);

        TDataModule1 dm(TestServer::clientParams(kDb));
        dm.UpdaterFolder = folder.path();
        QVERIFY(dm.PrepareConnection());
        QVERIFY(AppOutdated);
        const QString notice =
            QStringLiteral("Вы используете устаревшую версию программы (3.1.0.0). Обновите программу.");
        QCOMPARE(messages->messages.size(), 1);
        QVERIFY(messages->messages[0].plain);
        QCOMPARE(messages->messages[0].text, notice);
        reapUpdaters(10000);  // the process that failed to become the updater
        // Read out as well, and silenced when the box goes.
        QCOMPARE(speech.heard(), QStringList({QLatin1Char('!') + notice, QStringLiteral("!")}));
    }

    // An installed program is updated by the package manager: an updater lying
    // beside it is not started, and the player is told, aloud too, to update the
    // package. A current installed program goes on as any other.
    void installedProgram()
    {
        QTemporaryDir folder;
        writeUpdater(folder.path(), true);
        sortest::SpeechRig speech(sortest::SpeechRig::Window::Never);

        const QString current = QStringLiteral("3.1.0.0");
        QVERIFY(setRequiredVersion(&current));
        {
            TDataModule1 dm(TestServer::clientParams(kDb));
            dm.UpdaterFolder = folder.path();
            dm.Installed = true;
            QVERIFY(dm.PrepareConnection());
            QVERIFY(!AppOutdated);
        }
        QVERIFY(messages->messages.isEmpty());
        QVERIFY(speech.heard().isEmpty());

        const QString required = QStringLiteral("3.1.0.1");
        QVERIFY(setRequiredVersion(&required));
        TDataModule1 dm(TestServer::clientParams(kDb));
        dm.UpdaterFolder = folder.path();
        dm.Installed = true;
        QVERIFY(dm.PrepareConnection());
        QVERIFY(AppOutdated);
        const QString notice =
            QStringLiteral("Вы используете устаревшую версию программы (3.1.0.0). Обновите пакет sorventa.");
        QCOMPARE(messages->messages.size(), 1);
        QVERIFY(messages->messages[0].plain);
        QCOMPARE(messages->messages[0].text, notice);
        QCOMPARE(speech.heard(), QStringList({QLatin1Char('!') + notice, QStringLiteral("!")}));
        QCOMPARE(reapUpdaters(0), 0);
        QVERIFY(!QFile::exists(folder.path() + QStringLiteral("/updater-ran")));
    }

    // At start-up the speech settings are not loaded yet: the notice brings the
    // player's speech up for its own time, reads itself out while the box is
    // shown, and lets the speech go when the box closes.
    void noticeReadOutBeforeSpeechIsLoaded()
    {
        const QString required = QStringLiteral("3.1.0.1");
        QVERIFY(setRequiredVersion(&required));
        QVERIFY(!sor::speechBackend());
        std::unique_ptr<sortest::SpeechRig> rig;
        QStringList heardWhileShown;
        QStringList heardAtTheEnd;
        int loaded = 0;
        sor::setEarlySpeechLoader([&]() -> std::unique_ptr<QObject> {
            ++loaded;
            rig = std::make_unique<sortest::SpeechRig>(sortest::SpeechRig::Window::Never);
            auto holder = std::make_unique<QObject>();
            connect(holder.get(), &QObject::destroyed, [&] {
                heardAtTheEnd = rig->heard();
                rig.reset();
            });
            return holder;
        });
        messages->onMessage = [&](const sortest::RecordedMessage&) {
            if (rig)
                heardWhileShown = rig->heard();
        };

        TDataModule1 dm(TestServer::clientParams(kDb));
        dm.Installed = true;
        QVERIFY(dm.PrepareConnection());
        sor::setEarlySpeechLoader(nullptr);
        QVERIFY(AppOutdated);
        const QString notice =
            QStringLiteral("Вы используете устаревшую версию программы (3.1.0.0). Обновите пакет sorventa.");
        QCOMPARE(loaded, 1);
        QCOMPARE(heardWhileShown, QStringList({QLatin1Char('!') + notice}));
        QCOMPARE(heardAtTheEnd, QStringList({QLatin1Char('!') + notice, QStringLiteral("!")}));
        QVERIFY(!rig);
        QVERIFY(!sor::speechBackend());
    }

    // A required version that is not four numbers, or none at all: the program ends
    // (PrepareConnection false) without a message and without the updater.
    void unreadableRequiredVersion_data()
    {
        QTest::addColumn<bool>("hasRow");
        QTest::addColumn<QString>("required");
        QTest::newRow("3.1") << true << "3.1";
        QTest::newRow("empty text") << true << "";
        QTest::newRow("five numbers") << true << "3.1.0.0.1";
        QTest::newRow("letters") << true << "3.1.beta.0";
        QTest::newRow("empty table") << false << "";
    }

    void unreadableRequiredVersion()
    {
        QFETCH(bool, hasRow);
        QFETCH(QString, required);
        QVERIFY(setRequiredVersion(hasRow ? &required : nullptr));
        QTemporaryDir folder;
        writeUpdater(folder.path(), true);

        TDataModule1 dm(TestServer::clientParams(kDb));
        dm.UpdaterFolder = folder.path();
        QVERIFY(!dm.PrepareConnection());
        QVERIFY(!AppOutdated);
        QVERIFY(messages->messages.isEmpty());
        QCOMPARE(reapUpdaters(0), 0);
    }

    void cleanupTestCase()
    {
        const QString current = QStringLiteral("3.1.0.0");
        setRequiredVersion(&current);
    }
};

QTEST_GUILESS_MAIN(TestVersion)
#include "tst_version.moc"
