// Password restore against the real game server and a real mail peer: the
// mailed code and where it is stored, the failed sends that store nothing, the
// code that works once and only while it is the last one, and the window as it
// is heard and used from the login window.

#include <QApplication>
#include <QJsonArray>
#include <QPushButton>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include "AccountRows.h"
#include "accounts/LoginProcedure.h"
#include "accounts/MailSender.h"
#include "accounts/PasswordRestore.h"
#include "accounts/LoginWindow.h"
#include "accounts/PasswordRestoreWindow.h"
#include "data/SessionContext.h"
#include "app/UiServices.h"
#include "data/DataModule.h"
#include "speech/LabeledEdit.h"
#include "speech/MessageDlg.h"
#include "support/ModalGuard.h"
#include "support/DbFaults.h"
#include "support/MessageRecorder.h"
#include "support/SmtpPeer.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"

using sortest::SmtpPeer;
using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();
const QString kAttention = QStringLiteral("Внимание!");
const QString kSent = QStringLiteral("Код восттановления отправлен на электронный ящик.");
const QString kNoAccount = QStringLiteral("Аккаунт с таким адресом электронной почты не зарегистрирован.");
const QString kSendFailed = QStringLiteral("Ошибка отправки электронной почты.");
const QString kSaved = QStringLiteral("Новый пароль сохранен.");
const QString kNotSaved = QStringLiteral("Ошибка сохраненя пароля. Проверьте, правильно ли заполнены поля.");

QString codeRest(const QString& email)
{
    return acctest::scalar(kDb, "SELECT CodeRest FROM users WHERE loginEmail='" + email + "'").toString();
}
QString passwordOf(const QString& email)
{
    return acctest::scalar(kDb, "SELECT password FROM users WHERE loginEmail='" + email + "'").toString();
}

bool open(QWidget* w)
{
    w->show();
    w->activateWindow();
    QApplication::setActiveWindow(w);
    return QTest::qWaitForWindowActive(w);
}

// The mail sender as the request sees it: what it is asked to send is counted,
// so "no mail" is known from the call the request would have made.
class CountingSender : public sor::MailSender
{
public:
    explicit CountingSender(sor::MailSender& real) : real_(real) {}
    QString senderAddress() const override { return real_.senderAddress(); }
    bool send(const sor::MailMessage& message) override
    {
        ++calls;
        return real_.send(message);
    }
    int calls = 0;

private:
    sor::MailSender& real_;
};

}  // namespace

class TestRestPass : public QObject
{
    Q_OBJECT

    SmtpPeer peer;
    std::unique_ptr<sor::SmtpMailSender> sender;
    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<sortest::MessageRecorder> messages;
    int mailsBefore = 0;

    // The code of the newest mail, from its last body line.
    QString mailedCode() const
    {
        const QJsonObject m = SmtpPeer::decode(peer.messageFiles().last());
        const QStringList lines = m["body"].toString().split("\r\n");
        return lines.value(2).mid(QStringLiteral("Код восстановления: ").size());
    }

    void expectMessage(const QString& text, const QString& caption)
    {
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages.first().text, text);
        QCOMPARE(messages->messages.first().caption, caption);
        QCOMPARE(messages->messages.first().owner, this);
        QCOMPARE(messages->messages.first().buttons, int(sor::mbOK));
        messages->clear();
    }

    int newMails() const { return int(peer.messageFiles().size()) - mailsBefore; }

    sor::CodeRequest request(const QString& email, sor::MailSender* through = nullptr)
    {
        return sor::requestRestoreCode(*dm, through ? *through : *sender, this, email);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
        QVERIFY2(peer.start(), qPrintable(peer.error()));
        sender = std::make_unique<sor::SmtpMailSender>(peer.clientSettings());
        sor::setMailSender(sender.get());
    }

    void cleanupTestCase() { sor::setMailSender(nullptr); }

    void init()
    {
        sor::resetSessionContext();
        dm = std::make_unique<TDataModule1>(TestServer::clientParams(kDb));
        dm->UniConnection1.open();
        messages = std::make_unique<sortest::MessageRecorder>();
        mailsBefore = int(peer.messageFiles().size());
    }

    void cleanup()
    {
        messages.reset();
        dm.reset();
    }

    // One mail to the address as typed, reading back to the game's texts, and
    // its code stored for the account (found whatever the capitals).
    void requestMailsAndStoresTheCode()
    {
        acctest::addAccount(kDb, "restore@tavrek.example", sor::md5("old"));
        QCOMPARE(request("  Restore@Tavrek.Example \t"), sor::CodeRequest::Stored);
        expectMessage(kSent, "Сообщение.");
        QVERIFY(peer.waitForMessages(mailsBefore + 1));
        QCOMPARE(newMails(), 1);

        const QJsonObject m = SmtpPeer::decode(peer.messageFiles().last());
        QCOMPARE(m["envelope_to"].toArray(), QJsonArray({"Restore@Tavrek.Example"}));
        QCOMPARE(m["to"].toString(), QStringLiteral("Restore@Tavrek.Example"));
        QCOMPARE(m["from_name"].toString(), QStringLiteral("Sorventa ОО «Таврек»"));
        QCOMPARE(m["from_address"].toString(), QStringLiteral("sorventa@tavrek.example"));
        QCOMPARE(m["subject"].toString(), QStringLiteral("Восстановление пароляв программе Sorventa ОО «Таврек»"));
        QCOMPARE(m["charset"].toString(), QStringLiteral("windows-1251"));
        QCOMPARE(m["transfer_encoding"].toString(), QStringLiteral("8bit"));
        const QString code = mailedCode();
        QCOMPARE(m["body"].toString(),
                 QStringLiteral("Sorventa ОО «Таврек» - Восстановление пароля\r\n"
                                "Введите код восстановления в соответствующее поле в форме востановления пароля.\r\n"
                                "Код восстановления: ") + code + "\r\n");
        QCOMPARE(code.size(), 10);
        QCOMPARE(codeRest("restore@tavrek.example"), code);
    }

    void addressWithoutAccountStillGetsAMail()
    {
        const QStringList before = acctest::rows(kDb, "SELECT ID, CodeRest FROM users ORDER BY ID");
        QCOMPARE(request("nobody@tavrek.example"), sor::CodeRequest::NoAccount);
        expectMessage(kNoAccount, kAttention);
        QVERIFY(peer.waitForMessages(mailsBefore + 1));
        QCOMPARE(mailedCode().size(), 10);
        QCOMPARE(acctest::rows(kDb, "SELECT ID, CodeRest FROM users ORDER BY ID"), before);
    }

    void failedSendStoresNothing_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("mail server down") << "down";
        QTest::newRow("login refused") << "password";
    }
    void failedSendStoresNothing()
    {
        QFETCH(QString, what);
        acctest::exec(kDb, "DELETE FROM users WHERE loginEmail='failed@tavrek.example'");
        acctest::addAccount(kDb, "failed@tavrek.example", sor::md5("old"));
        acctest::exec(kDb, "UPDATE users SET CodeRest='Earlier123' WHERE loginEmail='failed@tavrek.example'");
        sor::SmtpSettings s = peer.clientSettings();
        const sortest::RefusingPort refusing;
        if (what == "down")
            s.port = refusing.port();
        else
            s.password = "not-the-password";
        sor::SmtpMailSender failing(s);
        QCOMPARE(request("failed@tavrek.example", &failing), sor::CodeRequest::SendFailed);
        expectMessage(kSendFailed, kAttention);
        QCOMPARE(codeRest("failed@tavrek.example"), QStringLiteral("Earlier123"));
        QVERIFY(peer.onlyMarkerAfter(mailsBefore));
    }

    void requestRefuses_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("text");
        QTest::newRow("no address") << " \t"
                                    << "Отсутствует адрес электронной почты!\r\n"
                                       "Введите адрес электронной почты для отправки кода восстановления.";
        QTest::newRow("address not valid") << "demo@tavrek" << "Адрес электронной почты указан неверно! ";
    }
    void requestRefuses()
    {
        QFETCH(QString, email);
        QFETCH(QString, text);
        CountingSender counting(*sender);
        QCOMPARE(request(email, &counting), sor::CodeRequest::Refused);
        expectMessage(text, kAttention);
        QVERIFY(peer.onlyMarkerAfter(mailsBefore));
        QCOMPARE(counting.calls, 0);
    }

    // Only the last code mailed works, blanks around it do not matter, it works
    // once, and the new password is stored without its blanks.
    void theLastCodeWorksOnce()
    {
        const QString email = "once@tavrek.example";
        acctest::addAccount(kDb, email, sor::md5("old"));
        QCOMPARE(request(email), sor::CodeRequest::Stored);
        QVERIFY(peer.waitForMessages(mailsBefore + 1));
        const QString first = mailedCode();
        QCOMPARE(request(email), sor::CodeRequest::Stored);
        QVERIFY(peer.waitForMessages(mailsBefore + 2));
        const QString second = mailedCode();
        QVERIFY(first != second);
        messages->clear();

        QCOMPARE(sor::saveNewPassword(*dm, this, email, first, "new pw"), sor::PasswordSave::NotSaved);
        expectMessage(kNotSaved, kAttention);
        QCOMPARE(passwordOf(email), sor::md5("old"));

        QCOMPARE(sor::saveNewPassword(*dm, this, " " + email, "  " + second + "\t", "  new pw  "),
                 sor::PasswordSave::Saved);
        expectMessage(kSaved, "Сообщение.");
        QCOMPARE(passwordOf(email), sor::md5("new pw"));
        QCOMPARE(codeRest(email), QString());

        QCOMPARE(sor::saveNewPassword(*dm, this, email, second, "another"), sor::PasswordSave::NotSaved);
        expectMessage(kNotSaved, kAttention);
        QCOMPARE(passwordOf(email), sor::md5("new pw"));

        // The login hashes what is typed: the blanks are not part of it any more.
        QCOMPARE(sor::fLoginQuery(*dm, email, sor::md5("new pw")), 1);
        QCOMPARE(sor::fLoginQuery(*dm, email, sor::md5("  new pw  ")), 0);
    }

    // Every sign a code may hold travels through the statement and the stored
    // value unchanged (a code differs by letter case too).
    void everyCodeCharacterMatches_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("digits and signs before the capitals") << "0123456789";
        QTest::newRow(":;<=>?@") << ":;<=>?@AZz";
        QTest::newRow("[\\]^_`") << "[\\]^_`{|a";
    }
    void everyCodeCharacterMatches()
    {
        QFETCH(QString, code);
        const QString email = "signs@tavrek.example";
        acctest::exec(kDb, "DELETE FROM users WHERE loginEmail='" + email + "'");
        acctest::addAccount(kDb, email, sor::md5("old"));
        QSqlQuery q(TestServer::admin(kDb, "restpass_admin"));
        q.prepare("UPDATE users SET CodeRest=? WHERE loginEmail=?");
        q.addBindValue(code);
        q.addBindValue(email);
        QVERIFY(q.exec());
        QCOMPARE(sor::saveNewPassword(*dm, this, email, code.toUpper() == code ? code + "x" : code.toUpper(), "pw"),
                 sor::PasswordSave::NotSaved);
        messages->clear();
        QCOMPARE(sor::saveNewPassword(*dm, this, email, code, "pw"), sor::PasswordSave::Saved);
        QCOMPARE(passwordOf(email), sor::md5("pw"));
    }

    // A code belongs to its address: typed with another one it changes nothing.
    void codeOfAnotherAccount()
    {
        acctest::addAccount(kDb, "owner@tavrek.example", sor::md5("a"));
        acctest::addAccount(kDb, "other@tavrek.example", sor::md5("b"));
        QCOMPARE(request("owner@tavrek.example"), sor::CodeRequest::Stored);
        QVERIFY(peer.waitForMessages(mailsBefore + 1));
        const QString code = mailedCode();
        messages->clear();
        const QStringList before = acctest::rows(kDb, "SELECT ID, password, CodeRest FROM users ORDER BY ID");
        QCOMPARE(sor::saveNewPassword(*dm, this, "other@tavrek.example", code, "taken"), sor::PasswordSave::NotSaved);
        expectMessage(kNotSaved, kAttention);
        QCOMPARE(acctest::rows(kDb, "SELECT ID, password, CodeRest FROM users ORDER BY ID"), before);
    }

    void saveRefuses_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("text");
        QTest::newRow("no address") << "" << "0123456789" << "pw"
                                    << "Ошибка сохранения! Отсутствует адрес электронной почты!";
        QTest::newRow("address not valid") << "a@b" << "0123456789" << "pw"
                                           << "Ошибка сохранения! Адрес электронной почты указан неверно!";
        QTest::newRow("password only blanks") << "a@b.cd" << "0123456789" << "   "
                                              << "Ошибка сохранения! Отсутствует пароль!";
        QTest::newRow("code only blanks") << "a@b.cd" << "  " << "pw"
                                          << "Ошибка сохранения! Отсутствует код восстановления!";
    }
    void saveRefuses()
    {
        QFETCH(QString, email);
        QFETCH(QString, code);
        QFETCH(QString, password);
        QFETCH(QString, text);
        dm->QueryQuery.clearSql();
        QCOMPARE(sor::saveNewPassword(*dm, this, email, code, password), sor::PasswordSave::Refused);
        expectMessage(text, "Сохранение записи.");
        QVERIFY(dm->QueryQuery.sqlLines().isEmpty());  // no statement ran
    }

    void windowControls()
    {
        TfrRestPass w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Восстановление пароля"));
        QCOMPARE(w.ledLogin->caption(), QStringLiteral("E-mail"));
        QCOMPARE(w.ledLogin->toolTip(), QStringLiteral("Введите адрес электронной почты"));
        QCOMPARE(w.btGetCodeRest->text(), QStringLiteral("Получить код восстановления"));
        QCOMPARE(w.ledCodeRestore->caption(), QStringLiteral("Код восстановления"));
        QCOMPARE(w.ledPass->caption(), QStringLiteral("Новый пароль"));
        QCOMPARE(w.ledPass->echoMode(), QLineEdit::Password);
        QCOMPARE(w.btOK->text(), QStringLiteral("Сохранить"));
        QCOMPARE(w.btCancel->text(), QStringLiteral("Отмена"));
        QVERIFY(w.btOK->isDefault());
        for (const char* name : {"ledLogin", "btGetCodeRest", "ledCodeRestore", "ledPass", "btOK", "btCancel"})
            QVERIFY2(w.findChild<QWidget*>(name), name);
    }

    // Walked by ear: the title, each control, echo in the e-mail and the code
    // but never in the new password.
    void windowSpeaks()
    {
        sortest::SpeechRig rig;
        TfrRestPass w;
        QVERIFY(open(&w));
        QTRY_COMPARE(QApplication::focusWidget(), w.ledLogin->lineEdit());
        QCOMPARE(rig.heard(), QStringList({"!Восстановление пароля", "!Редактор E-mail"}));
        const QList<QPair<QString, QStringList>> steps = {
            {"a@B", {"!А ", "!@", "!Бэ "}},  // e-mail
            {"", {}},                        // code button
            {"z{9", {"!z", "!{", "!9"}},     // code
            {"pw", {}},                      // new password
            {"", {}},                        // Сохранить
        };
        const QStringList next = {"!Кнопка Получить код восстановления", "!Редактор Код восстановления",
                                  "!Редактор Новый пароль", "!Кнопка Сохранить", "!Кнопка Отмена"};
        for (int i = 0; i < steps.size(); ++i) {
            rig.clear();
            QTest::keyClicks(QApplication::focusWidget(), steps[i].first);
            QCOMPARE(rig.heard(), steps[i].second);
            rig.clear();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(rig.heard(), QStringList{next[i]});
        }
        rig.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(rig.heard(), QStringList({"!Редактор E-mail", "a@B"}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        rig.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(rig.heard(), QStringList({"!Редактор Новый пароль", "pw"}));
    }

    // The whole road from the login window: request a code, read it in the mail,
    // set a new password, log in with it.
    void forgottenPasswordFromTheLoginWindow()
    {
        acctest::addAccount(kDb, "forgot@tavrek.example", sor::md5("forgotten"), "NOW() - INTERVAL 1 HOUR");
        messages.reset();
        sor::installUiServices();
        acctest::StoredLoginSandbox stored;  // the login below rewrites the stored login
        QVERIFY(stored.valid());
        acctest::BoxAnswerer boxes;
        TfrmInput login;
        QVERIFY(open(&login));
        const sortest::ModalGuard guard;  // a failed step fails the test, not hangs it
        bool closedAfterSave = false;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(frRestPass && frRestPass->isActiveWindow());
            QCOMPARE(frRestPass->parentWidget(), &login);
            frRestPass->ledLogin->setText("forgot@tavrek.example");
            frRestPass->btGetCodeRest->click();
            QVERIFY(peer.waitForMessages(mailsBefore + 1));
            frRestPass->ledCodeRestore->setText(mailedCode());
            frRestPass->ledPass->setText("remembered");
            frRestPass->ledPass->setFocus();
            QTest::keyClick(frRestPass->ledPass->lineEdit(), Qt::Key_Return);
            closedAfterSave = !frRestPass->isVisible();
        });
        login.btRestPass->click();
        QVERIFY(closedAfterSave);
        QVERIFY(!frRestPass);
        QCOMPARE(boxes.seen.size(), 2);
        QCOMPARE(boxes.seen[0].text, kSent);
        QCOMPARE(boxes.seen[1].text, kSaved);
        QVERIFY(login.ledLogin->text().isEmpty());  // the login fields are the player's

        login.ledLogin->setText("forgot@tavrek.example");
        login.ledPass->setText("remembered");
        login.btOK->click();
        QCOMPARE(login.result(), 1);
        QVERIFY(stored.contains("AutoLogin"));  // written here, not in the user's own file
        QCOMPARE(stored.value("AutoLogin").toInt(), 0);
    }

    // While the mail goes out the window keeps painting and running its timers,
    // and refuses to close; the failure is then told as usual.
    void windowWaitsForTheMail()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        sor::SmtpSettings s = peer.clientSettings();
        s.port = silent.serverPort();
        s.responseTimeoutS = 1;
        s.totalTimeoutMs = 3000;
        sor::SmtpMailSender slow(s);
        sor::setMailSender(&slow);
        messages.reset();
        sor::installUiServices();
        acctest::BoxAnswerer boxes;

        TfrRestPass w;
        QVERIFY(open(&w));
        w.ledLogin->setText("player@tavrek.example");
        w.btGetCodeRest->setFocus();
        int attempts = 0;
        bool sawSending = false;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (!w.sending())
                return;
            sawSending = true;
            ++attempts;
            w.close();
            w.reject();
        });
        closer.start(100);
        w.btGetCodeRest->click();
        closer.stop();
        sor::setMailSender(sender.get());

        QVERIFY(sawSending);
        QVERIFY(attempts > 0);
        QVERIFY(w.isVisible());
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen.first().text, kSendFailed);
        QCOMPARE(boxes.seen.first().caption, kAttention);
        // Back in the window (a window manager hands it back; here we do), the
        // keyboard is where the player left it.
        QVERIFY(open(&w));
        QTRY_COMPARE(QApplication::focusWidget(), w.btGetCodeRest);
        QTest::keyClick(&w, Qt::Key_Escape);  // and closes normally afterwards
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), 2);
    }
};

QTEST_MAIN(TestRestPass)
#include "tst_restpass.moc"
