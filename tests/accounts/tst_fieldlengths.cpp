// Account fields never longer than their columns: the edits of the login,
// registration and restore windows take no more and say why; registration,
// login and restore refuse a longer text in Russian before the server sees it
// (which would otherwise answer in its own words: "Data too long for column").

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include "AccountRows.h"
#include "accounts/LoginProcedure.h"
#include "accounts/MailSender.h"
#include "accounts/PasswordRestore.h"
#include "accounts/Registration.h"
#include "accounts/LoginWindow.h"
#include "accounts/PasswordRestoreWindow.h"
#include "accounts/RegistrationWindow.h"
#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "speech/LabeledEdit.h"
#include "support/MessageRecorder.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"

using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();
const QString kSaving = QStringLiteral("Сохранение записи.");

// An address of exactly `length` characters that passes the e-mail rule.
QString address(int length)
{
    const QString domain = QStringLiteral("@tavrek.example");
    return QString(length - domain.size(), QLatin1Char('a')) + domain;
}

QStringList allUsers()
{
    return acctest::rows(kDb, "SELECT ID, loginEmail, password, name, surname, CodeRest FROM users ORDER BY ID");
}

// A sender that only counts what it is given.
class CountingSender : public sor::MailSender
{
public:
    QString senderAddress() const override { return QStringLiteral("sorventa@tavrek.example"); }
    bool send(const sor::MailMessage&) override
    {
        ++sent;
        return true;
    }
    int sent = 0;
};

}  // namespace

class TestFieldLengths : public QObject
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

    // The limits are the schema's own.
    void limitsAreTheColumnLengths()
    {
        const auto length = [](const char* column) {
            return acctest::scalar(kDb, QStringLiteral("SELECT CHARACTER_MAXIMUM_LENGTH FROM information_schema.COLUMNS "
                                                       "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'users' "
                                                       "AND COLUMN_NAME = '%1'")
                                            .arg(QLatin1String(column)))
                .toInt();
        };
        QCOMPARE(sor::kEmailLength, length("loginEmail"));
        QCOMPARE(sor::kNameLength, length("name"));
        QCOMPARE(sor::kSurnameLength, length("surname"));
        QCOMPARE(sor::kRestoreCodeLength, length("CodeRest"));
    }

    void registrationRefusesBeforeTheServer_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("surname");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("text");
        const QString tail = QStringLiteral("! Запись не может быть сохранена!");
        QTest::newRow("a name of 150 letters") << QString(150, QChar(0x0416)) << "" << address(40)
                                               << "Имя длиннее 100 символов" + tail;
        QTest::newRow("a surname of 101 letters") << "Иван" << QString(101, QLatin1Char('s')) << address(40)
                                                  << "Фамилия длиннее 100 символов" + tail;
        QTest::newRow("an address of 255 characters")
            << "" << "" << address(255) << "Адрес электронной почты длиннее 254 символов" + tail;
        QTest::newRow("an address that grows when lower-cased")
            << "" << "" << QStringLiteral("\"\\İ\".") + address(249)
            << "Адрес электронной почты длиннее 254 символов" + tail;
    }
    void registrationRefusesBeforeTheServer()
    {
        QFETCH(QString, name);
        QFETCH(QString, surname);
        QFETCH(QString, email);
        QFETCH(QString, text);
        const QStringList before = allUsers();
        sortest::MessageRecorder messages;
        QVERIFY(!sor::saveRegistration(*dm, this, name, surname, email, QStringLiteral("secret")));
        // One message, ours: the server's "Data too long" would be a second one.
        QCOMPARE(messages.messages.size(), 1);
        QCOMPARE(messages.messages.at(0).text, text);
        QCOMPARE(messages.messages.at(0).caption, kSaving);
        QCOMPARE(allUsers(), before);
    }

    void registrationTakesTheFullLengths()
    {
        sortest::MessageRecorder messages;
        // Blanks around a name are not part of it.
        const QString name = QString(100, QChar(0x0416));
        const QString surname = QString(100, QLatin1Char('s'));
        const QString email = address(254);
        QVERIFY(sor::saveRegistration(*dm, this, "  " + name + "  ", surname, email, QStringLiteral("secret")));
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(acctest::rows(kDb, "SELECT name, surname FROM users WHERE loginEmail = '" + email + "'"),
                 QStringList{name + "|" + surname});
    }

    void loginAndRestoreRefuseALongAddress()
    {
        sortest::MessageRecorder messages;
        const QString tooLong = address(255);
        QCOMPARE(sor::submitLogin(*dm, this, tooLong, QStringLiteral("secret"), false), sor::LoginOutcome::Refused);
        QCOMPARE(sor::fLoginQuery(*dm, tooLong, sor::md5(QStringLiteral("secret"))), int(sor::lrNoAccount));

        CountingSender sender;
        QCOMPARE(sor::requestRestoreCode(*dm, sender, this, tooLong), sor::CodeRequest::Refused);
        QCOMPARE(sender.sent, 0);  // no code mailed to an address no account can have

        QCOMPARE(sor::saveNewPassword(*dm, this, tooLong, QStringLiteral("code"), QStringLiteral("new")),
                 sor::PasswordSave::Refused);
        QCOMPARE(sor::saveNewPassword(*dm, this, address(40), QString(33, QLatin1Char('c')), QStringLiteral("new")),
                 sor::PasswordSave::Refused);

        QStringList texts;
        for (const sortest::RecordedMessage& m : messages.messages)
            texts << m.caption + " " + m.text;
        QCOMPARE(texts, QStringList({
                            "Сообщение. Адрес электронной почты длиннее 254 символов!",
                            "Внимание! Адрес электронной почты длиннее 254 символов!",
                            "Сохранение записи. Ошибка сохранения! Адрес электронной почты длиннее 254 символов!",
                            "Сохранение записи. Ошибка сохранения! Код восстановления длиннее 32 символов!",
                        }));
    }

    // Every account edit, filled to its column: a key more is refused aloud,
    // and so is a paste that does not fit.
    void editsStopAtTheirColumn_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("login e-mail") << "frmInput" << "ledLogin" << 254 << "E-mail: не более 254 символов.";
        QTest::newRow("registration name") << "frmRegist" << "ledName" << 100 << "Имя: не более 100 символов.";
        QTest::newRow("registration surname") << "frmRegist" << "ledSurname" << 100
                                              << "Фамилия: не более 100 символов.";
        QTest::newRow("registration e-mail") << "frmRegist" << "ledLogin" << 254 << "E-mail: не более 254 символов.";
        QTest::newRow("restore e-mail") << "frRestPass" << "ledLogin" << 254 << "E-mail: не более 254 символов.";
        QTest::newRow("restore code") << "frRestPass" << "ledCodeRestore" << 32
                                      << "Код восстановления: не более 32 символов.";
    }
    void editsStopAtTheirColumn()
    {
        QFETCH(QString, window);
        QFETCH(QString, edit);
        QFETCH(int, length);
        QFETCH(QString, refusal);
        sortest::SpeechRig rig;
        std::unique_ptr<QDialog> w;
        if (window == "frmInput")
            w = std::make_unique<TfrmInput>();
        else if (window == "frmRegist")
            w = std::make_unique<TfrmRegist>();
        else
            w = std::make_unique<TfrRestPass>();
        w->show();
        w->activateWindow();
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        auto* e = w->findChild<TLabeledEdit*>(edit);
        QVERIFY(e);
        e->setFocus();
        QTRY_VERIFY(e->lineEdit()->hasFocus());

        // Typed up to the last place: each character echoed, nothing refused.
        e->setText(QString(length - 1, QLatin1Char('a')));
        rig.clear();
        QTest::keyClick(e->lineEdit(), Qt::Key_B);
        QCOMPARE(e->text().size(), length);
        QCOMPARE(rig.heard(), QStringList({"!Бэ "}));

        // One more: refused, and the player hears why, over the echo.
        rig.clear();
        QTest::keyClick(e->lineEdit(), Qt::Key_C);
        QCOMPARE(e->text(), QString(length - 1, QLatin1Char('a')) + "b");
        QCOMPARE(rig.heard(), QStringList({"!Цэ ", "!" + refusal}));

        // A paste too long for the field: cut to the column, and said so.
        e->clear();
        QApplication::clipboard()->setText(QString(length + 50, QLatin1Char('x')));
        rig.clear();
        e->lineEdit()->paste();
        QCOMPARE(e->text(), QString(length, QLatin1Char('x')));
        QCOMPARE(rig.heard(), QStringList({"!" + refusal}));
    }
};

QTEST_MAIN(TestFieldLengths)
#include "tst_fieldlengths.moc"
