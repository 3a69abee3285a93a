// Registration against the real game server: the row it stores, what it
// refuses, the duplicate reported by the data module, and the window as it is
// walked and heard, opened from the login window.

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "AccountRows.h"
#include "accounts/LoginProcedure.h"
#include "accounts/Registration.h"
#include "accounts/LoginWindow.h"
#include "accounts/RegistrationWindow.h"
#include "data/SessionContext.h"
#include "app/UiServices.h"
#include "data/DataModule.h"
#include "speech/LabeledEdit.h"
#include "speech/MessageDlg.h"
#include "speech/SpokenMessageBox.h"
#include "support/ModalGuard.h"
#include "support/MessageRecorder.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"

using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();
const QString kCaption = QStringLiteral("Сохранение записи.");
const QString kDuplicate = QStringLiteral(
    "Ошибка сохранения данных.\r\nИгрок с таким адресом электронной почты уже зарегистрирован.");

QStringList allUsers()
{
    return acctest::rows(kDb, "SELECT ID, loginEmail, password, name, surname, CodeRest, dt FROM users ORDER BY ID");
}

bool open(QWidget* w)
{
    w->show();
    w->activateWindow();
    QApplication::setActiveWindow(w);
    return QTest::qWaitForWindowActive(w);
}

// Types any text, Cyrillic too, into the focused control, key by key.
void typeText(const QString& text)
{
    for (const QChar c : text) {
        QWidget* w = QApplication::focusWidget();
        const int key = c.isLetterOrNumber() && c.unicode() < 128 ? c.toUpper().unicode() : int(Qt::Key_unknown);
        QTest::sendKeyEvent(QTest::Press, w, Qt::Key(key), QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, w, Qt::Key(key), QString(c), Qt::NoModifier);
    }
}

}  // namespace

class TestRegistration : public QObject
{
    Q_OBJECT

    std::unique_ptr<TDataModule1> dm;

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
    }

    void init()
    {
        sor::resetSessionContext();
        dm = std::make_unique<TDataModule1>(TestServer::clientParams(kDb));
        dm->UniConnection1.open();
    }

    void cleanup() { dm.reset(); }

    void storesTheRow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("surname");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("row");  // loginEmail|password|name|surname|CodeRest|dt
        QTest::newRow("everything trimmed but the password, e-mail lower-cased")
            << "  Иван " << "\tПетров  " << "  Ivan.Petrov@Tavrek.Example " << " Пароль 1 "
            << "ivan.petrov@tavrek.example|" + sor::md5(" Пароль 1 ") + "|Иван|Петров||0000-00-00 00:00:00";
        QTest::newRow("names left empty") << "" << "   " << "nameless@tavrek.example" << "x"
                                          << "nameless@tavrek.example|" + sor::md5("x") + "||||0000-00-00 00:00:00";
    }

    void storesTheRow()
    {
        QFETCH(QString, name);
        QFETCH(QString, surname);
        QFETCH(QString, email);
        QFETCH(QString, password);
        QFETCH(QString, row);
        sortest::MessageRecorder messages;
        QVERIFY(sor::saveRegistration(*dm, this, name, surname, email, password));
        QVERIFY(messages.messages.isEmpty());
        const QString stored = email.trimmed().toLower();
        QCOMPARE(acctest::rows(kDb, "SELECT loginEmail, password, name, surname, CodeRest, "
                                    "CAST(dt AS CHAR) FROM users WHERE loginEmail='" + stored + "'"),
                 QStringList{row});
        // The password as typed logs in, blanks and all.
        QCOMPARE(sor::fLoginQuery(*dm, stored, sor::md5(password)), 1);
    }

    void refuses_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("text");
        QTest::newRow("no e-mail") << "  " << "x"
                                   << "Отсутствует адрес электронной почты! Запись не может быть сохранена!";
        QTest::newRow("e-mail not valid") << "a@b" << "x"
                                          << "Адрес электронной почты указан неверно! Запись не может быть сохранена!";
        QTest::newRow("password only blanks") << "blank@tavrek.example" << "   "
                                              << "Отсутствует пароль! Запись не может быть сохранена!";
        QTest::newRow("no password") << "blank@tavrek.example" << ""
                                     << "Отсутствует пароль! Запись не может быть сохранена!";
    }

    void refuses()
    {
        QFETCH(QString, email);
        QFETCH(QString, password);
        QFETCH(QString, text);
        sortest::MessageRecorder messages;
        const QStringList before = allUsers();
        QVERIFY(!sor::saveRegistration(*dm, this, "Имя", "Фамилия", email, password));
        QCOMPARE(messages.messages.size(), 1);
        QCOMPARE(messages.messages.first().text, text);
        QCOMPARE(messages.messages.first().caption, kCaption);
        QCOMPARE(messages.messages.first().owner, this);
        QCOMPARE(allUsers(), before);
    }

    void duplicate_data()
    {
        QTest::addColumn<QString>("email");
        QTest::newRow("same letters") << "demo@tavrek.example";
        QTest::newRow("other capitals") << "DEMO@Tavrek.example";
    }

    // Said by the data module's report, in its words; the table is unchanged.
    void duplicate()
    {
        QFETCH(QString, email);
        sortest::MessageRecorder messages;
        const QStringList before = allUsers();
        QVERIFY(!sor::saveRegistration(*dm, this, "Второй", "", email, "other"));
        QCOMPARE(messages.messages.size(), 1);
        QCOMPARE(messages.messages.first().text, kDuplicate);
        QCOMPARE(messages.messages.first().caption, QStringLiteral("Внимание! "));
        QCOMPARE(allUsers(), before);
        QVERIFY(!dm->UniConnection1.inTransaction());
    }

    void windowControls()
    {
        TfrmRegist w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Регистрация игрока"));
        QCOMPARE(w.Label1->text(), QStringLiteral("Регистрация игрока"));
        QCOMPARE(w.ledName->caption(), QStringLiteral("Имя"));
        QCOMPARE(w.ledSurname->caption(), QStringLiteral("Фамилия"));
        QCOMPARE(w.ledLogin->caption(), QStringLiteral("E-mail"));
        QCOMPARE(w.ledLogin->toolTip(), QStringLiteral("Введите адрес электронной почты"));
        QCOMPARE(w.ledPass->caption(), QStringLiteral("Пароль"));
        QCOMPARE(w.ledPass->echoMode(), QLineEdit::Password);
        QCOMPARE(w.btOK->text(), QStringLiteral("Сохранить"));
        QCOMPARE(w.btCancel->text(), QStringLiteral("Отмена"));
        QVERIFY(w.btOK->isDefault());
        for (const char* name : {"Label1", "ledName", "ledSurname", "ledLogin", "ledPass", "btOK", "btCancel"})
            QVERIFY2(w.findChild<QWidget*>(name), name);
    }

    // Walked by ear: the heading, each control in tab order, typed characters
    // echoed except in the password.
    void windowSpeaks()
    {
        sortest::SpeechRig rig;
        TfrmRegist w;
        QVERIFY(open(&w));
        QTRY_COMPARE(QApplication::focusWidget(), w.ledName->lineEdit());
        QCOMPARE(rig.heard(), QStringList({"!Регистрация игрока", "!Редактор Имя"}));
        const QList<QPair<QString, QStringList>> walk = {
            {"Ян", {"!Я", "!н"}},
            {"Ли", {"!Л", "!и"}},
            {"ab@c", {"!А ", "!Бэ ", "!@", "!Цэ "}},
            {"pw", {}},
        };
        const QStringList next = {"!Редактор Фамилия", "!Редактор E-mail", "!Редактор Пароль", "!Кнопка Сохранить"};
        for (int i = 0; i < walk.size(); ++i) {
            rig.clear();
            typeText(walk[i].first);
            QCOMPARE(rig.heard(), walk[i].second);
            rig.clear();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(rig.heard(), QStringList{next[i]});
        }
        rig.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(rig.heard(), QStringList({"!Кнопка Отмена", "!Редактор Имя", "Ян"}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        rig.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(rig.heard(), QStringList({"!Редактор Пароль", "pw"}));
    }

    // From the login window: a new player registers and hears the success; the
    // login fields are not filled in.
    void fromTheLoginWindow()
    {
        sor::installUiServices();
        sortest::SpeechRig rig;
        acctest::BoxAnswerer boxes;
        TfrmInput login;
        QVERIFY(open(&login));
        const sortest::ModalGuard guard;  // a failed step fails the test, not hangs it
        QTimer::singleShot(0, [&login] {
            QTRY_VERIFY(frmRegist && frmRegist->isActiveWindow());
            QCOMPARE(frmRegist->parentWidget(), &login);  // owned by the login window
            frmRegist->ledName->setText("Новый");
            frmRegist->ledLogin->setText("New.Player@Tavrek.example");
            frmRegist->ledPass->setText("secret");
            QTest::keyClick(frmRegist->ledPass->lineEdit(), Qt::Key_Return);
        });
        login.btRegistr->click();
        QVERIFY(!frmRegist);
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen.first().text, QStringLiteral("Регистрация прошла успешно"));
        QCOMPARE(boxes.seen.first().caption, QStringLiteral("Сообщение."));
        QCOMPARE(acctest::scalar(kDb, "SELECT name FROM users WHERE loginEmail='new.player@tavrek.example'").toString(),
                 QStringLiteral("Новый"));
        QVERIFY(login.ledLogin->text().isEmpty());
        QVERIFY(login.ledPass->text().isEmpty());
    }

    // A duplicate keeps the registration window open with what was typed, and
    // the login window says nothing of success; "Отмена" then closes it.
    void duplicateKeepsTheWindowOpen()
    {
        sor::installUiServices();
        acctest::BoxAnswerer boxes;
        TfrmInput login;
        QVERIFY(open(&login));
        const sortest::ModalGuard guard;  // a failed step fails the test, not hangs it
        bool stillOpen = false;
        QString typed;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(frmRegist && frmRegist->isActiveWindow());
            frmRegist->ledLogin->setText("demo@tavrek.example");
            frmRegist->ledPass->setText("x");
            frmRegist->btOK->click();  // the data module's box is answered meanwhile
            stillOpen = frmRegist->isVisible();
            typed = frmRegist->ledLogin->text();
            QTest::keyClick(frmRegist, Qt::Key_Escape);
        });
        login.btRegistr->click();
        QVERIFY(stillOpen);
        QCOMPARE(typed, QStringLiteral("demo@tavrek.example"));
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen.first().text, kDuplicate);
    }
};

QTEST_MAIN(TestRegistration)
#include "tst_registration.moc"
