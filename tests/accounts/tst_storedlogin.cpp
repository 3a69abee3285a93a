// The stored login: what a login writes, the automatic login at start-up with
// its failure roads, and the program settings window that switches it, with
// what the player hears there.

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

#include "AccountRows.h"
#include "accounts/LoginProcedure.h"
#include "accounts/StoredLogin.h"
#include "accounts/SettingsWindow.h"
#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "support/ModalGuard.h"
#include "support/DbFaults.h"
#include "support/MessageRecorder.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"

using sortest::connectionId;
using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();
const QString kMissing = QStringLiteral("<missing>");

// Shows a window and gives it the keyboard.
bool open(QWidget* w)
{
    w->show();
    w->activateWindow();
    QApplication::setActiveWindow(w);
    return QTest::qWaitForWindowActive(w);
}

}  // namespace

class TestStoredLogin : public QObject
{
    Q_OBJECT

    std::unique_ptr<acctest::StoredLoginSandbox> stored;
    std::unique_ptr<sortest::MessageRecorder> messages;
    std::unique_ptr<TDataModule1> dm;

    QString storedValue(const QString& name) const
    {
        return stored->contains(name) ? stored->value(name).toString() : kMissing;
    }
    void setStored(const QString& name, const QString& value)
    {
        if (value != kMissing)
            stored->set(name, value);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
        stored = std::make_unique<acctest::StoredLoginSandbox>();
        QVERIFY(stored->valid());
        QVERIFY(stored->fileName().startsWith(QDir::tempPath()));
    }

    void init()
    {
        sor::resetSessionContext();
        messages = std::make_unique<sortest::MessageRecorder>();
        dm = std::make_unique<TDataModule1>(TestServer::clientParams(kDb));
        dm->UniConnection1.open();
        stored->clear();
    }

    void cleanup()
    {
        dm.reset();
        messages.reset();
    }

    // Every login through the window rewrites all three values, whatever they held.
    void writtenAfterALogin_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("autoLogin");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("pass");
        QTest::newRow("Сохранить данные ticked") << true << "1" << "saver@tavrek.example"
                                                 << sor::md5("Secret1");
        QTest::newRow("unticked empties the earlier account") << false << "0" << "" << "";
    }
    void writtenAfterALogin()
    {
        QFETCH(bool, save);
        QFETCH(QString, autoLogin);
        QFETCH(QString, login);
        QFETCH(QString, pass);
        const qint64 id = acctest::addAccount(kDb, QStringLiteral("saver%1@tavrek.example").arg(save ? "" : "2"),
                                              sor::md5("Secret1"));
        QVERIFY(id > 0);
        stored->set("AutoLogin", 1);
        stored->set("sLogin", "earlier@tavrek.example");
        stored->set("sPass", sor::md5("earlier"));

        const QString email = QStringLiteral("SAVER%1@tavrek.example").arg(save ? "" : "2");
        QCOMPARE(sor::submitLogin(*dm, this, email, "Secret1", save), sor::LoginOutcome::LoggedIn);
        QCOMPARE(storedValue("AutoLogin"), autoLogin);
        QCOMPARE(storedValue("sLogin"), login);  // as stored in users, lower case
        QCOMPARE(storedValue("sPass"), pass);
        // The hash opens the account: the file is the user's alone.
        QCOMPARE(QFile::permissions(stored->fileName()) & 0x0077,
                 QFileDevice::Permissions());
    }

    // The file never holds the hash readable by others, not even on its first
    // write, whatever the user's umask lets new files be.
    void ownersAloneFromTheFirstWrite()
    {
        const QString file = stored->fileName();  // (a key of its own, gone again)
        QFile::remove(file);
        const mode_t before = ::umask(022);
        const auto restore = qScopeGuard([before] { ::umask(before); });
        sor::StoredLoginKey key;
        key.values().setValue("sPass", sor::md5("Secret1"));
        key.values().sync();
        QVERIFY(QFile::exists(file));
        QCOMPARE(QFile::permissions(file) & 0x0077, QFileDevice::Permissions());
    }

    void automaticLogin_data()
    {
        QTest::addColumn<QString>("autoLogin");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("pass");
        QTest::addColumn<QString>("lastLogin");  // of the account, SQL
        QTest::addColumn<bool>("showWindow");
        QTest::addColumn<QString>("autoLoginAfter");
        QTest::addColumn<bool>("tried");  // the account was looked up

        const QString hash = sor::md5("auto-pass");
        const QString old = "NOW() - INTERVAL 1 HOUR";
        QTest::newRow("valid: logged in without the window")
            << "1" << "auto@tavrek.example" << hash << old << false << "1" << true;
        QTest::newRow("any non-zero number is on") << "7" << "auto@tavrek.example" << hash << old << false << "7" << true;
        QTest::newRow("logged in 3 s ago: result 2, switched off")
            << "1" << "auto@tavrek.example" << hash << "NOW() - INTERVAL 3 SECOND" << true << "0" << true;
        QTest::newRow("password changed since: switched off")
            << "1" << "auto@tavrek.example" << sor::md5("old-pass") << old << true << "0" << true;
        QTest::newRow("account gone: switched off")
            << "1" << "gone@tavrek.example" << hash << old << true << "0" << true;
        QTest::newRow("sPass missing: switched off") << "1" << "auto@tavrek.example" << kMissing << old << true << "0" << true;
        QTest::newRow("sLogin missing: switched off") << "1" << kMissing << hash << old << true << "0" << true;
        QTest::newRow("off: not tried") << "0" << "auto@tavrek.example" << hash << old << true << "0" << false;
        QTest::newRow("first start: nothing stored, nothing written")
            << kMissing << kMissing << kMissing << old << true << kMissing << false;
        QTest::newRow("not a number reads as off") << "yes" << "auto@tavrek.example" << hash << old << true << "yes" << false;
    }

    void automaticLogin()
    {
        QFETCH(QString, autoLogin);
        QFETCH(QString, login);
        QFETCH(QString, pass);
        QFETCH(QString, lastLogin);
        QFETCH(bool, showWindow);
        QFETCH(QString, autoLoginAfter);
        QFETCH(bool, tried);
        acctest::exec(kDb, "DELETE FROM users WHERE loginEmail='auto@tavrek.example'");
        const qint64 id = acctest::addAccount(kDb, "auto@tavrek.example", sor::md5("auto-pass"), lastLogin);
        setStored("AutoLogin", autoLogin);
        setStored("sLogin", login);
        setStored("sPass", pass);

        QCOMPARE(sor::ShowLogin(*dm), showWindow);

        QCOMPARE(storedValue("AutoLogin"), autoLoginAfter);
        QCOMPARE(storedValue("sLogin"), login);  // never rewritten here
        QCOMPARE(storedValue("sPass"), pass);
        QCOMPARE(!dm->LoginQuery.sqlLines().isEmpty(), tried);
        QVERIFY(messages->messages.isEmpty());  // no message of its own
        if (!showWindow) {
            QCOMPARE(CurrentUserID, id);
            QCOMPARE(CurrentLoginEmail, QStringLiteral("auto@tavrek.example"));
            QCOMPARE(CurrentPasswordHash, pass);
            QCOMPARE(acctest::scalar(kDb, QStringLiteral("SELECT `Session` FROM Sor_users WHERE UserID=%1").arg(id))
                         .toString(),
                     SessionGUID);
        } else if (tried) {
            QCOMPARE(CurrentLoginEmail, login == kMissing ? QString() : login);
            QCOMPARE(CurrentPasswordHash, pass == kMissing ? QString() : pass);
        } else {
            QVERIFY(CurrentLoginEmail.isEmpty());
            QVERIFY(CurrentPasswordHash.isEmpty());
        }
    }

    // A database failure says nothing against the stored account: it stays on,
    // and the login window is shown.
    void databaseFailureKeepsItOn()
    {
        acctest::addAccount(kDb, "kept@tavrek.example", sor::md5("kept"), "NOW() - INTERVAL 1 HOUR");
        stored->set("AutoLogin", 1);
        stored->set("sLogin", "kept@tavrek.example");
        stored->set("sPass", sor::md5("kept"));
        QVERIFY(sortest::killConnection(TestServer::dir(), connectionId(*dm)));
        QVERIFY(sor::ShowLogin(*dm));
        QCOMPARE(storedValue("AutoLogin"), QStringLiteral("1"));
        QCOMPARE(CurrentUserID, 0);
    }

    // The settings window, walked with the keyboard.
    void settingsWindowSpeaks()
    {
        sortest::SpeechRig rig;
        stored->set("AutoLogin", 0);
        TfrSettings w;
        QVERIFY(open(&w));
        QTRY_COMPARE(QApplication::focusWidget(), w.btOK);
        QCOMPARE(rig.heard(), QStringList({"!Кнопка Сохранить"}));  // the window itself says nothing

        rig.clear();
        QTest::keyClick(w.btOK, Qt::Key_Tab);
        QTest::keyClick(w.btCancel, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.chAutoLogin);
        QCOMPARE(rig.heard(),
                 QStringList({"!Кнопка Отмена", "!Флажок. Автоматическая авторизация ", "Неотмечено. "}));

        rig.clear();
        sor::setSettingsChangeSpoken();  // as after any first window of the run
        QTest::keyClick(w.chAutoLogin, Qt::Key_Space);
        QVERIFY(w.chAutoLogin->isChecked());
        QCOMPARE(rig.heard(), QStringList({"!Флажок. Автоматическая авторизация Отмечено. "}));
        rig.clear();
        QTest::keyClick(w.chAutoLogin, Qt::Key_Tab);  // round again
        QTest::keyClick(w.btOK, Qt::Key_Tab);
        QTest::keyClick(w.btCancel, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.chAutoLogin);
        QCOMPARE(rig.heard(), QStringList({"!Кнопка Сохранить", "!Кнопка Отмена",
                                           "!Флажок. Автоматическая авторизация ", "Отмечено. "}));
    }

    // The box set up from the stored value is not spoken in the first window of
    // the run; from then on it is.
    void firstWindowOfTheRunSetsUpQuietly()
    {
        sor::resetSettingsChangeSpoken();
        sortest::SpeechRig rig;
        stored->set("AutoLogin", 1);
        {
            TfrSettings first;
            QVERIFY(first.chAutoLogin->isChecked());
            QCOMPARE(rig.heard(), QStringList());
        }
        QVERIFY(sor::settingsChangeSpoken());
        TfrSettings second;
        QVERIFY(second.chAutoLogin->isChecked());
        QCOMPARE(rig.heard(), QStringList({"!Флажок. Автоматическая авторизация Отмечено. "}));
    }

    void settingsWindowSaves_data()
    {
        QTest::addColumn<bool>("storedOn");
        QTest::addColumn<bool>("tick");  // the player toggles the box
        QTest::addColumn<QString>("autoLogin");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("pass");
        QTest::newRow("ticked: the current account, also after an unticked login")
            << false << true << "1" << "now@tavrek.example" << sor::md5("now");
        QTest::newRow("unticked: emptied") << true << true << "0" << "" << "";
        QTest::newRow("left ticked: the account rewritten") << true << false << "1" << "now@tavrek.example"
                                                            << sor::md5("now");
    }

    void settingsWindowSaves()
    {
        QFETCH(bool, storedOn);
        QFETCH(bool, tick);
        QFETCH(QString, autoLogin);
        QFETCH(QString, login);
        QFETCH(QString, pass);
        stored->set("AutoLogin", storedOn ? 1 : 0);
        stored->set("sLogin", storedOn ? "before@tavrek.example" : "");
        stored->set("sPass", storedOn ? sor::md5("before") : "");
        CurrentLoginEmail = "now@tavrek.example";
        CurrentPasswordHash = sor::md5("now");

        const sortest::ModalGuard guard;  // a failed step fails the test, not hangs it
        int result = -1;
        QTimer::singleShot(0, [&] {
            QVERIFY(frSettings);
            QCOMPARE(frSettings->chAutoLogin->isChecked(), storedOn);
            if (tick)
                frSettings->chAutoLogin->click();
            QTest::keyClick(frSettings, Qt::Key_Return);  // "Сохранить" is the default
        });
        result = TfrSettings::execute();
        QCOMPARE(result, 1);
        QVERIFY(!frSettings);
        QCOMPARE(storedValue("AutoLogin"), autoLogin);
        QCOMPARE(storedValue("sLogin"), login);
        QCOMPARE(storedValue("sPass"), pass);
    }

    // "Отмена" and Esc write nothing; the box goes back to the stored state, and
    // that change is heard.
    void settingsWindowCancels_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Отмена") << false;
        QTest::newRow("Esc") << true;
    }
    void settingsWindowCancels()
    {
        QFETCH(bool, escape);
        sor::setSettingsChangeSpoken();
        stored->set("AutoLogin", 1);
        stored->set("sLogin", "before@tavrek.example");
        stored->set("sPass", sor::md5("before"));
        CurrentLoginEmail = "now@tavrek.example";
        sortest::SpeechRig rig;
        TfrSettings w;
        QVERIFY(open(&w));
        w.chAutoLogin->click();
        QVERIFY(!w.chAutoLogin->isChecked());
        rig.clear();
        if (escape)
            QTest::keyClick(&w, Qt::Key_Escape);
        else
            w.btCancel->click();
        QCOMPARE(w.result(), 2);
        QVERIFY(!w.isVisible());
        QVERIFY(w.chAutoLogin->isChecked());
        QCOMPARE(rig.heard(), QStringList({"!Флажок. Автоматическая авторизация Отмечено. "}));
        QCOMPARE(storedValue("AutoLogin"), QStringLiteral("1"));
        QCOMPARE(storedValue("sLogin"), QStringLiteral("before@tavrek.example"));
        QCOMPARE(storedValue("sPass"), sor::md5("before"));
    }

    void settingsWindowControls()
    {
        TfrSettings w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Настройки программы"));
        QCOMPARE(w.btOK->text(), QStringLiteral("Сохранить"));
        QCOMPARE(w.btCancel->text(), QStringLiteral("Отмена"));
        QCOMPARE(w.chAutoLogin->text(), QStringLiteral("Автоматическая авторизация "));
        QVERIFY(w.btOK->isDefault());
        for (const char* name : {"btOK", "btCancel", "chAutoLogin"}) {
            auto* c = w.findChild<QWidget*>(name);
            QVERIFY2(c, name);
            QVERIFY(!c->accessibleName().isEmpty());
        }
        QCOMPARE(w.btOK->nextInFocusChain(), w.btCancel);
        QCOMPARE(w.btCancel->nextInFocusChain(), w.chAutoLogin);
        QVERIFY(!w.chAutoLogin->isChecked());  // nothing stored
    }
};

QTEST_MAIN(TestStoredLogin)
#include "tst_storedlogin.moc"
