// The login window as a player meets it: its controls, what is heard while
// walking and typing, the messages of the login button spoken by the real
// message box, and the start-up steps that show it or log in without it.

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "AccountRows.h"
#include "accounts/LoginProcedure.h"
#include "accounts/LoginWindow.h"
#include "platform/AppInfo.h"
#include "app/ProgramSteps.h"
#include "data/SessionContext.h"
#include "app/UiServices.h"
#include "data/DataModule.h"
#include "speech/LabeledEdit.h"
#include "speech/MessageDlg.h"
#include "speech/SpokenMessageBox.h"
#include "support/ModalGuard.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"

using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();

bool open(QWidget* w)
{
    w->show();
    w->activateWindow();
    QApplication::setActiveWindow(w);
    return QTest::qWaitForWindowActive(w);
}

// Types into the focused control.
void type(const QString& text)
{
    QTest::keyClicks(QApplication::focusWidget(), text);
}

}  // namespace

class TestLoginWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<acctest::StoredLoginSandbox> stored;
    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<sortest::SpeechRig> rig;

    QStringList tab()
    {
        rig->clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        return rig->heard();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
        stored = std::make_unique<acctest::StoredLoginSandbox>();
        sor::installUiServices();  // the real spoken message box
    }

    void init()
    {
        sor::resetSessionContext();
        dm = std::make_unique<TDataModule1>(TestServer::clientParams(kDb));
        dm->UniConnection1.open();
        stored->clear();
        rig = std::make_unique<sortest::SpeechRig>();
        QVERIFY(acctest::exec(kDb, "UPDATE users SET dt = NOW() - INTERVAL 1 HOUR"));
    }

    void cleanup()
    {
        rig.reset();
        dm.reset();
    }

    void controls()
    {
        TfrmInput w;
        QCOMPARE(w.windowTitle(), sor::appTitle() + QStringLiteral(" - Авторизация"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Интеллектуальная игра \"Sorventa\" - Авторизация"));
        QVERIFY(!(w.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(w.windowFlags() & Qt::WindowMinMaxButtonsHint));
        QVERIFY(!w.parentWidget());  // a taskbar entry of its own
        QCOMPARE(w.Label1->text(), QStringLiteral("Авторизация"));
        QCOMPARE(w.ledLogin->caption(), QStringLiteral("E-mail"));
        QCOMPARE(w.ledLogin->toolTip(), QStringLiteral("Введите адрес электронной почты"));
        QCOMPARE(w.ledPass->caption(), QStringLiteral("Пароль"));
        QCOMPARE(w.ledPass->echoMode(), QLineEdit::Password);
        QCOMPARE(w.chLoginSave->text(), QStringLiteral("Сохранить данные "));
        QVERIFY(!w.chLoginSave->isChecked());
        QVERIFY(w.ledLogin->text().isEmpty() && w.ledPass->text().isEmpty());
        QCOMPARE(w.btRestPass->text(), QStringLiteral("Восстановить пароль"));
        QCOMPARE(w.btOK->text(), QStringLiteral("Войти"));
        QCOMPARE(w.btRegistr->text(), QStringLiteral("Регистрация"));
        QCOMPARE(w.btCancel->text(), QStringLiteral("Закрыть"));
        QVERIFY(w.btOK->isDefault());
        for (const char* name : {"Label1", "ledLogin", "ledPass", "chLoginSave", "btRestPass", "btOK", "btRegistr",
                                 "btCancel"}) {
            auto* c = w.findChild<QWidget*>(name);
            QVERIFY2(c, name);
            QVERIFY2(!c->accessibleName().isEmpty() || qobject_cast<QLabel*>(c), name);
        }
    }

    // Open it and walk every control: the heading, each edit and button, the
    // check box silent; typed characters echoed in the e-mail only; a filled
    // password edit says its content when the focus comes to it.
    void walkAndType()
    {
        TfrmInput w;
        QVERIFY(open(&w));
        QTRY_COMPARE(QApplication::focusWidget(), w.ledLogin->lineEdit());
        QCOMPARE(rig->heard(), QStringList({"!Авторизация", "!Редактор E-mail"}));

        QCOMPARE(tab(), QStringList({"!Редактор Пароль"}));
        QCOMPARE(tab(), QStringList());  // "Сохранить данные " says nothing
        QCOMPARE(QApplication::focusWidget(), w.chLoginSave);
        QCOMPARE(tab(), QStringList({"!Кнопка Восстановить пароль"}));
        QCOMPARE(tab(), QStringList({"!Кнопка Войти"}));
        QCOMPARE(tab(), QStringList({"!Кнопка Регистрация"}));
        QCOMPARE(tab(), QStringList({"!Кнопка Закрыть"}));
        QCOMPARE(tab(), QStringList({"!Редактор E-mail"}));

        rig->clear();
        type("Ab1@");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QCOMPARE(rig->heard(), QStringList({"!А ", "!Бэ ", "!1", "!@"}));
        QCOMPARE(w.ledLogin->text(), QStringLiteral("Ab1"));

        QCOMPARE(tab(), QStringList({"!Редактор Пароль"}));
        rig->clear();
        type("abc");
        QCOMPARE(rig->heard(), QStringList());
        QCOMPARE(w.ledPass->text(), QStringLiteral("abc"));

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        rig->clear();
        QCOMPARE(tab(), QStringList({"!Редактор Пароль", "abc"}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(rig->heard().mid(2), QStringList({"!Редактор E-mail", "Ab1"}));
    }

    // Enter with empty fields and with a wrong address: the box speaks the
    // message and its button, stops speech as it closes, and the window stays.
    void enterSpeaksTheMessage_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("caption");
        QTest::newRow("empty fields") << "" << "Введите данные аккаунта для входа в программу!" << "Сообщение. ";
        QTest::newRow("wrong address") << "demo@tavrek" << "Адрес электронной почты указан неверно! " << "Сообщение.";
    }
    void enterSpeaksTheMessage()
    {
        QFETCH(QString, email);
        QFETCH(QString, message);
        QFETCH(QString, caption);
        TfrmInput w;
        QVERIFY(open(&w));
        QTRY_COMPARE(QApplication::focusWidget(), w.ledLogin->lineEdit());
        w.ledLogin->setText(email);
        if (!email.isEmpty())
            w.ledPass->setText("sorventa");
        rig->clear();
        acctest::BoxAnswerer boxes;
        QTest::keyClick(w.ledLogin->lineEdit(), Qt::Key_Return);
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen.first().caption, caption);
        QCOMPARE(boxes.seen.first().text, message);
        // Enter itself is not echoed; the message cuts off what was said, its
        // button follows it, and closing the box stops the speech.
        QCOMPARE(rig->heard(), QStringList({"!" + message, "Кнопка ОК", "!"}));
        QVERIFY(w.isVisible());
        QCOMPARE(CurrentUserID, 0);
        QVERIFY(!stored->contains("AutoLogin"));
    }

    // A player logs in through the window with "Сохранить данные " ticked.
    void logInWithTheKeyboard()
    {
        const sortest::ModalGuard guard;  // a failed step fails the test, not hangs it
        TfrmInput w;
        QTimer::singleShot(0, [&] {
            QTRY_COMPARE(QApplication::focusWidget(), w.ledLogin->lineEdit());
            type("Demo@Tavrek.Example");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            type("sorventa");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            QVERIFY(w.chLoginSave->isChecked());
            QTest::keyClick(w.ledPass->lineEdit(), Qt::Key_Return);
        });
        QCOMPARE(w.exec(), 1);
        QCOMPARE(CurrentLoginEmail, QStringLiteral("demo@tavrek.example"));
        QCOMPARE(CurrentPasswordHash, sor::md5("sorventa"));
        QCOMPARE(stored->value("AutoLogin").toInt(), 1);
        QCOMPARE(stored->value("sLogin").toString(), QStringLiteral("demo@tavrek.example"));
        QCOMPARE(stored->value("sPass").toString(), sor::md5("sorventa"));
    }

    // Logged in elsewhere a moment ago: the window says so and stays open.
    void alreadyLoggedInElsewhere()
    {
        QVERIFY(acctest::exec(kDb, "UPDATE users SET dt = NOW() WHERE loginEmail='demo@tavrek.example'"));
        TfrmInput w;
        QVERIFY(open(&w));
        w.ledLogin->setText("demo@tavrek.example");
        w.ledPass->setText("sorventa");
        rig->clear();
        const sortest::ModalGuard guard;  // a failed step fails the test, not hangs it
        acctest::BoxAnswerer boxes;
        w.btOK->click();
        QCOMPARE(rig->heard(), QStringList({"!Под таким аккаунтом вход уже осуществлен!", "Кнопка ОК", "!"}));
        QCOMPARE(boxes.seen.first().caption, QStringLiteral("Сообщение. "));
        QVERIFY(w.isVisible());
        QVERIFY(!stored->contains("AutoLogin"));
    }

    void closingGivesTwo_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Закрыть") << false;
        QTest::newRow("Esc") << true;
    }
    void closingGivesTwo()
    {
        QFETCH(bool, escape);
        const sortest::ModalGuard guard;  // a failed step fails the test, not hangs it
        TfrmInput w;
        QTimer::singleShot(0, [&] {
            QTRY_COMPARE(QApplication::focusWidget(), w.ledLogin->lineEdit());
            if (escape)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            else
                w.btCancel->click();
        });
        QCOMPARE(w.exec(), 2);
    }

    // Start-up steps 6 to 9: a valid stored login goes on without the window; without
    // one the window is shown and its result decides; the window is freed either way.
    void startUpWithAStoredLogin()
    {
        stored->set("AutoLogin", 1);
        stored->set("sLogin", "demo@tavrek.example");
        stored->set("sPass", sor::md5("sorventa"));
        sor::ProgramSteps steps(*qApp);
        steps.createLoginWindow();
        QVERIFY(frmInput);
        QCOMPARE(steps.showLogin(), false);
        QVERIFY(!frmInput->isVisible());
        QCOMPARE(CurrentLoginEmail, QStringLiteral("demo@tavrek.example"));
        QVERIFY(!SessionGUID.isEmpty());
        steps.freeLoginWindow();
        QVERIFY(!frmInput);
    }

    void startUpThroughTheWindow()
    {
        sor::ProgramSteps steps(*qApp);
        steps.createLoginWindow();
        QCOMPARE(steps.showLogin(), true);
        const sortest::ModalGuard guard;  // a failed step fails the test, not hangs it
        QTimer::singleShot(0, [] {
            QTRY_VERIFY(frmInput && frmInput->isVisible());
            frmInput->ledLogin->setText("demo@tavrek.example");
            frmInput->ledPass->setText("sorventa");
            frmInput->btOK->click();
        });
        QCOMPARE(steps.showLoginModal(), 1);
        QCOMPARE(stored->value("AutoLogin").toInt(), 0);
        steps.freeLoginWindow();
        QVERIFY(!frmInput);
    }
};

QTEST_MAIN(TestLoginWindow)
#include "tst_loginwindow.moc"
