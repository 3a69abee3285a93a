// The keyboard coming back, on a desktop with a window manager: after a message
// box, after the reconnect window, and after the player switched to another
// program and back. It returns to the control that had it, and nothing is
// said again: closing a box cuts its speech off, and that is all the player
// hears. Keys are really typed (xdotool); windows are activated through the
// window manager, as Alt+Tab does.

#include <QApplication>
#include <QDeadlineTimer>
#include <QScopeGuard>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "../accounts/AccountRows.h"
#include "accounts/MailSender.h"
#include "accounts/LoginWindow.h"
#include "accounts/PasswordRestoreWindow.h"
#include "accounts/RegistrationWindow.h"
#include "data/SessionContext.h"
#include "app/UiServices.h"
#include "data/DataModule.h"
#include "data/ReconnectUi.h"
#include "data/ReconnectWindow.h"
#include "game/HotKeyHelp.h"
#include "game/MainControls.h"
#include "game/MainWindow.h"
#include "game/StartPrompt.h"
#include "speech/LabeledEdit.h"
#include "speech/MessageDlg.h"
#include "speech/SpokenMessageBox.h"
#include "support/Desktop.h"
#include "support/GameRows.h"
#include "support/LoginRig.h"
#include "support/SmtpPeer.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"
#include "support/XInput.h"

using sortest::TestServer;

namespace {

const QString kDb = TestServer::ownDatabase();

// The player's part while modal windows run: steps, each started once its
// condition holds, polled from whichever event loop is running. Steps never
// block (a modal window is opened by a key or a queued call). A step that
// fails, or a condition that does not come within the guard's time, closes
// every modal window, so the test fails in seconds instead of hanging.
class Script : public QObject
{
public:
    Script& then(const QString& what, std::function<bool()> ready, std::function<void()> act = {})
    {
        steps_.append({what, std::move(ready), std::move(act)});
        return *this;
    }

    void start(int guardMs = 20000)
    {
        deadline_ = QDeadlineTimer(guardMs);
        connect(&poll_, &QTimer::timeout, this, [this] { tick(); });
        poll_.start(20);
    }

    bool finished() const { return next_ == steps_.size() && !aborted_; }
    bool over() const { return finished() || (aborted_ && !QApplication::activeModalWidget()); }
    QString report() const
    {
        return finished() ? QString() : QStringLiteral("stuck at: ") + steps_.value(next_).what;
    }

private:
    struct Step
    {
        QString what;
        std::function<bool()> ready;
        std::function<void()> act;
    };

    void tick()
    {
        if (aborted_) {
            closeModals();
            return;
        }
        if (next_ == steps_.size()) {
            poll_.stop();
            return;
        }
        if (deadline_.hasExpired()) {
            abort();
            return;
        }
        Step& step = steps_[next_];
        if (!step.ready())
            return;
        ++next_;
        if (step.act)
            step.act();
        if (QTest::currentTestFailed()) {
            --next_;
            abort();
        }
    }

    void abort()
    {
        aborted_ = true;
        closeModals();
    }

    void closeModals()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            poll_.stop();
            return;
        }
        if (auto* d = qobject_cast<QDialog*>(modal))
            d->done(0);
        else
            modal->hide();
    }

    QList<Step> steps_;
    qsizetype next_ = 0;
    bool aborted_ = false;
    QDeadlineTimer deadline_;
    QTimer poll_;
};

QWidget* focus()
{
    return QApplication::focusWidget();
}

void keys(const QStringList& k)
{
    sortest::typeKeys(k);
}

void typeText(const QString& text)
{
    sortest::xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
}

// What was heard, as one text (a failure shows all of it).
QString said(const sortest::SpeechRig& rig)
{
    return rig.heard().join(QStringLiteral(" | "));
}

// The box is up, has the keyboard, and its button has been announced.
bool boxReady(const sortest::SpeechRig& rig)
{
    sor::SpokenMessageBox* box = sor::openMessageBox();
    return box && box->isActiveWindow() && focus() == box->defaultButton() &&
           rig.heard().contains(QStringLiteral("Кнопка ОК"));
}

}  // namespace

class TestFocusReturn : public QObject
{
    Q_OBJECT

    std::unique_ptr<acctest::StoredLoginSandbox> stored;
    std::unique_ptr<sortest::SpeechRig> rig;
    std::unique_ptr<TDataModule1> dm;

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY2(sortest::windowManagerRunning(), "no window manager on the display");
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
        stored = std::make_unique<acctest::StoredLoginSandbox>();
        sor::installUiServices();  // the real spoken message box
        sor::installReconnectWindow();
    }

    void init()
    {
        sor::resetSessionContext();
        rig = std::make_unique<sortest::SpeechRig>();
        dm = std::make_unique<TDataModule1>(TestServer::clientParams(kDb));
        dm->UniConnection1.open();
        QVERIFY(acctest::exec(kDb, "UPDATE users SET dt = NOW() - INTERVAL 1 HOUR"));
    }

    void cleanup()
    {
        dm.reset();
        rig.reset();
    }

    // A wrong password, its box, Enter: the box's speech is cut off and nothing
    // follows it; the keyboard is in the password edit again.
    void wrongPasswordThenEnter()
    {
        TfrmInput w;
        w.ledLogin->setText(sortest::kDemoEmail);
        QLineEdit* pass = w.ledPass->lineEdit();
        Script s;
        s.then("the login window opens", [&] { return w.isActiveWindow() && focus() == w.ledLogin->lineEdit(); },
               [&] {
                   QCOMPARE(said(*rig), "!Авторизация | !Редактор E-mail | " + sortest::kDemoEmail);
                   keys({"Tab"});
               })
            .then("in the password edit", [&] { return focus() == pass; }, [&] { typeText("wrong"); })
            .then("the password typed", [&] { return pass->text() == "wrong"; },
                  [&] {
                      rig->clear();
                      keys({"Return"});
                  })
            .then("the box is up", [&] { return boxReady(*rig); },
                  [&] {
                      QCOMPARE(said(*rig), QString("!Адрес электронной почты или пароль указаны неверно! | Кнопка ОК"));
                      rig->clear();
                      keys({"Return"});
                  })
            .then("back in the password edit",
                  [&] { return !sor::openMessageBox() && w.isActiveWindow() && focus() == pass; },
                  [&] {
                      QCOMPARE(said(*rig), QString("!"));
                      keys({"x"});
                  })
            .then("the next key typed there", [&] { return pass->text() == "wrongx"; },
                  [&] {
                      QCOMPARE(said(*rig), QString("!"));
                      w.done(5);
                  });
        s.start();
        const int result = w.exec();
        QVERIFY2(s.finished(), qPrintable(s.report()));
        QCOMPARE(result, 5);
    }

    // The restore window: a code mailed (to a real mail peer), its box closed
    // with Enter. The keyboard is on the code button again, silently; Tab goes
    // on from there.
    void codeSentThenEnter()
    {
        sortest::SmtpPeer peer;
        QVERIFY2(peer.start(), qPrintable(peer.error()));
        sor::SmtpMailSender sender(peer.clientSettings());
        sor::setMailSender(&sender);
        const auto restoreSender = qScopeGuard([] { sor::setMailSender(nullptr); });

        TfrmInput login;
        QPointer<TfrRestPass> restore;
        Script s;
        s.then("the login window opens", [&] { return login.isActiveWindow(); },
               [&] { QMetaObject::invokeMethod(&login, &TfrmInput::btRestPassClick, Qt::QueuedConnection); })
            .then("the restore window opens",
                  [&] {
                      restore = frRestPass;
                      return restore && restore->isActiveWindow() && focus() == restore->ledLogin->lineEdit();
                  },
                  [&] { typeText(sortest::kDemoEmail); })
            .then("the address typed", [&] { return restore->ledLogin->text() == sortest::kDemoEmail; },
                  [&] { keys({"Tab"}); })
            .then("on the code button", [&] { return focus() == restore->btGetCodeRest; },
                  [&] {
                      rig->clear();
                      keys({"space"});
                  })
            .then("the box is up", [&] { return boxReady(*rig); },
                  [&] {
                      QCOMPARE(said(*rig), QString("!Код восттановления отправлен на электронный ящик. | Кнопка ОК"));
                      rig->clear();
                      keys({"Return"});
                  })
            .then("back on the code button",
                  [&] { return !sor::openMessageBox() && restore->isActiveWindow() && focus() == restore->btGetCodeRest; },
                  [&] {
                      QCOMPARE(said(*rig), QString("!"));
                      keys({"Tab"});
                  })
            .then("Tab goes on from the code button", [&] { return focus() == restore->ledCodeRestore->lineEdit(); },
                  [&] {
                      QCOMPARE(said(*rig), QString("!Редактор Код восстановления"));  // the stop runs into it
                      keys({"Escape"});
                  })
            .then("the restore window closed", [&] { return !restore && login.isActiveWindow(); },
                  [&] { login.done(5); });
        s.start(30000);
        const int result = login.exec();
        QVERIFY2(s.finished(), qPrintable(s.report()));
        QCOMPARE(result, 5);
        QVERIFY(peer.waitForMessages(1));
        QCOMPARE(peer.messageFiles().size(), 1);  // one code, not a second one replacing it
    }

    // The registration window closed with Esc: the keyboard is back on the
    // login window's "Регистрация", which is not announced again.
    void registrationClosed()
    {
        TfrmInput w;
        Script s;
        s.then("the login window opens", [&] { return w.isActiveWindow() && focus() == w.ledLogin->lineEdit(); },
               [&] { w.btRegistr->setFocus(Qt::TabFocusReason); })
            .then("on the registration button", [&] { return focus() == w.btRegistr && !rig->heard().isEmpty(); },
                  [&] {
                      QCOMPARE(rig->heard().last(), QStringLiteral("!Кнопка Регистрация"));
                      rig->clear();
                      keys({"space"});
                  })
            .then("the registration window opens",
                  [&] { return frmRegist && frmRegist->isActiveWindow() && focus() == frmRegist->ledName->lineEdit(); },
                  [&] {
                      QCOMPARE(said(*rig), QString("!Регистрация игрока | !Редактор Имя"));
                      rig->clear();
                      keys({"Escape"});
                  })
            .then("back on the registration button",
                  [&] { return !frmRegist && w.isActiveWindow() && focus() == w.btRegistr; },
                  [&] {
                      // Nothing said (Esc itself may stop the speech, which says nothing).
                      QVERIFY2(QString(said(*rig)).remove(QLatin1Char('!')).isEmpty(), qPrintable(said(*rig)));
                      keys({"Tab"});
                  })
            .then("Tab goes on from there", [&] { return focus() == w.btCancel; },
                  [&] {
                      QCOMPARE(said(*rig), QString("!Кнопка Закрыть"));
                      w.done(5);
                  });
        s.start();
        const int result = w.exec();
        QVERIFY2(s.finished(), qPrintable(s.report()));
        QCOMPARE(result, 5);
    }

    // The server goes away while the player logs in: the reconnect window comes
    // and, when the server returns, goes. The login window has the keyboard in
    // the password edit again, and nothing is announced.
    void reconnectWindowCloses()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        sortest::PrivateServer server(tmp.path() + QStringLiteral("/srv"));
        QVERIFY(server.start());
        dm.reset();  // the program's one module talks to this server
        dm = std::make_unique<TDataModule1>(server.clientParams());
        dm->UniConnection1.open();

        TfrmInput w;
        w.ledLogin->setText(sortest::kDemoEmail);
        QLineEdit* pass = w.ledPass->lineEdit();
        auto reconnectWindow = [] { return qobject_cast<TfrProcessReconnect*>(ReconnectWindow.data()); };
        Script s;
        s.then("the login window opens", [&] { return w.isActiveWindow() && focus() == w.ledLogin->lineEdit(); },
               [&] { keys({"Tab"}); })
            .then("in the password edit", [&] { return focus() == pass; }, [&] { typeText("sorventa"); })
            .then("the password typed", [&] { return pass->text() == "sorventa"; },
                  [&] {
                      QVERIFY(server.stop());
                      keys({"Return"});
                  })
            .then("the reconnect window has the keyboard",
                  [&] { return reconnectWindow() && reconnectWindow()->isActiveWindow() && !w.isEnabled(); },
                  [&] {
                      rig->clear();
                      QVERIFY(server.start());
                  })
            .then("the reconnect window gone, the login window back",
                  [&] { return !ReconnectWindow && w.isEnabled() && w.isActiveWindow() && focus() == pass; },
                  [&] {
                      QVERIFY(dm->UniConnection1.connected());
                      QCOMPARE(said(*rig), QString());
                      keys({"x"});
                  })
            .then("the next key typed in the password edit", [&] { return pass->text() == "sorventax"; },
                  [&] {
                      QCOMPARE(said(*rig), QString());
                      w.done(5);
                  });
        s.start(40000);
        const int result = w.exec();
        QVERIFY2(s.finished(), qPrintable(s.report()));
        QCOMPARE(result, 5);
        dm.reset();
    }

    // Alt+Tab to another program and back, with the login window: the password
    // edit keeps the keyboard and is not spoken again (its password least of all).
    void switchAwayAndBackInTheLoginWindow()
    {
        sortest::OtherProgram other;
        QVERIFY(other.ok());
        TfrmInput w;
        w.ledLogin->setText(sortest::kDemoEmail);
        QLineEdit* pass = w.ledPass->lineEdit();
        Script s;
        s.then("the login window opens", [&] { return w.isActiveWindow() && focus() == w.ledLogin->lineEdit(); },
               [&] { keys({"Tab"}); })
            .then("in the password edit", [&] { return focus() == pass; }, [&] { typeText("secret"); })
            .then("the password typed", [&] { return pass->text() == "secret"; },
                  [&] {
                      rig->clear();
                      sortest::activateThroughWm(other.window());
                  })
            .then("away in the other program", [&] { return !QApplication::activeWindow(); },
                  [&] { sortest::activateThroughWm(w.winId()); })
            .then("back in the password edit", [&] { return w.isActiveWindow() && focus() == pass; },
                  [&] {
                      QCOMPARE(said(*rig), QString());
                      keys({"x", "shift+Tab"});
                  })
            .then("typing and Shift+Tab go on from there", [&] { return focus() == w.ledLogin->lineEdit(); },
                  [&] {
                      QCOMPARE(pass->text(), QStringLiteral("secretx"));
                      QCOMPARE(said(*rig), "!Редактор E-mail | " + sortest::kDemoEmail);
                      w.done(5);
                  });
        s.start();
        const int result = w.exec();
        QVERIFY2(s.finished(), qPrintable(s.report()));
        QCOMPARE(result, 5);
    }

    // The hot-key help reads its list when it opens, not again when the player
    // comes back to it from another program.
    void switchAwayAndBackWithTheHelpOpen()
    {
        sortest::OtherProgram other;
        QVERIFY(other.ok());
        QWidget owner;
        owner.resize(400, 300);
        owner.show();
        QVERIFY(QTest::qWaitForWindowActive(&owner));
        TfrHotKey help(&owner);
        const QString list = TfrHotKey::HotKeyLines().join(QLatin1Char('\n'));
        Script s;
        s.then("the help opens", [&] { return help.isActiveWindow() && rig->heard().size() >= 1; },
               [&] {
                   QCOMPARE(said(*rig), "!" + list);
                   rig->clear();
                   sortest::activateThroughWm(other.window());
               })
            .then("away in the other program", [&] { return !QApplication::activeWindow(); },
                  [&] { sortest::activateThroughWm(help.winId()); })
            .then("back in the help", [&] { return help.isActiveWindow() && focus() == help.Memo1; },
                  [&] {
                      QCOMPARE(said(*rig), QString());
                      keys({"Tab"});
                  })
            .then("Tab reaches its button", [&] { return focus() == help.btOK; },
                  [&] {
                      QCOMPARE(said(*rig), QString("!Кнопка ОК"));
                      keys({"Return"});
                  });
        s.start();
        const int result = help.exec();
        QVERIFY2(s.finished(), qPrintable(s.report()));
        QCOMPARE(result, 1);
    }

    // A game waiting at its start prompt: switching away and back leaves the
    // keyboard on the prompt's button, which is not announced again.
    void switchAwayAndBackAtTheStartPrompt()
    {
        // Under openbox the keyboard comes back to the start prompt about 0.2 s
        // after the switch to the other program, and that program never becomes
        // the active window. The program itself asks for nothing meanwhile (no
        // focus request, no activation message reaches the X server from it), so
        // the window manager hands the keyboard back. The rest of this test
        // stands once that is understood.
        QSKIP("switching away from the start prompt is undone under openbox");
        QVERIFY(sortest::logIn(*dm));
        sortest::GameRows rows(kDb, CurrentUserID);
        rows.reset();
        sortest::OtherProgram other;
        QVERIFY(other.ok());

        TfrMain w;
        QPointer<TfrStartGameBt> prompt;
        Script s;
        s.then("the start prompt opens",
               [&] {
                   prompt = frStartGameBt;
                   return prompt && prompt->isActiveWindow() && focus() == prompt->Button1 && !rig->heard().isEmpty();
               },
               [&] {
                   QCOMPARE(rig->heard().last(), QStringLiteral("!Кнопка Начать игру"));
                   rig->clear();
                   sortest::activateThroughWm(other.window());
               })
            .then("away in the other program", [&] { return !QApplication::activeWindow(); },
                  [&] { sortest::activateThroughWm(w.winId()); })
            .then("back at the start prompt",  // the keyboard goes on to the modal prompt
                  [&] { return prompt && prompt->isActiveWindow() && focus() == prompt->Button1; },
                  [&] {
                      QCOMPARE(said(*rig), QString());
                      keys({"Return"});
                  })
            .then("the game starts", [&] { return !prompt && !w.lblQuestion->text().isEmpty(); });
        s.start(30000);
        w.show();
        QTRY_VERIFY_WITH_TIMEOUT(s.over(), 40000);
        QVERIFY2(s.finished(), qPrintable(s.report()));
        w.game().CloseDown();
    }

    // The main window in the middle of a game: coming back from another program
    // neither re-enters the game (which would read the question again) nor says
    // anything else.
    void switchAwayAndBackInTheMainWindow()
    {
        QVERIFY(sortest::logIn(*dm));
        sortest::GameRows rows(kDb, CurrentUserID);
        rows.reset();
        sortest::OtherProgram other;
        QVERIFY(other.ok());

        TfrMain w;
        w.StartPromptHook = [](const QString&) { return int(sor::mrOk); };
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTRY_COMPARE(w.activations(), 1);
        QTRY_VERIFY(!w.lblQuestion->text().isEmpty());  // the game runs, its first question shown
        const QString question = w.lblQuestion->text();
        QTRY_VERIFY(rig->heard().join("|").contains(question));
        rig->clear();

        sortest::activateThroughWm(other.window());
        QTRY_VERIFY(!QApplication::activeWindow());
        sortest::activateThroughWm(w.winId());
        QTRY_VERIFY(w.isActiveWindow());
        // A re-entered game would be queued from the activation: let it run.
        QTest::qWait(0);
        QCoreApplication::processEvents();
        QCOMPARE(w.activations(), 1);
        QCOMPARE(w.lblQuestion->text(), question);
        QCOMPARE(said(*rig), QString());

        // The keyboard is the game's: Ctrl+Q says the question again.
        keys({"ctrl+q"});
        QTRY_VERIFY(!rig->heard().isEmpty());
        QVERIFY2(rig->heard().first().contains(question), qPrintable(rig->heard().join("|")));
        w.game().CloseDown();
    }
};

QTEST_MAIN(TestFocusReturn)
#include "tst_focusreturn.moc"
