// The restore mail: the message builder read back by an independent parser, and
// the sender against a real mail peer with AUTH LOGIN, including the ways a
// send fails and the waits that must stay bounded.

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include "accounts/MailMessage.h"
#include "accounts/MailSender.h"
#include "accounts/PasswordRestore.h"
#include "support/DbFaults.h"
#include "support/SmtpPeer.h"

using sortest::SmtpPeer;

namespace {

// A mail server of a few lines that answers as a real one would, except that
// from one command on it says nothing more (and keeps the connection open).
class StallingServer : public QObject
{
public:
    enum class StallAt { Greeting, EndOfData, Quit };

    explicit StallingServer(StallAt at) : at_(at)
    {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* c = server_.nextPendingConnection()) {
                ++connections;
                connect(c, &QTcpSocket::readyRead, this, [this, c] { onReadable(c); });
                if (at_ != StallAt::Greeting)
                    c->write("220 stalling.example ESMTP\r\n");
            }
        });
    }
    bool listen() { return server_.listen(QHostAddress::LocalHost); }
    int port() const { return server_.serverPort(); }

    int connections = 0;
    bool messageReceived = false;   // the message ended with its dot
    bool quitReceived = false;

private:
    void onReadable(QTcpSocket* c)
    {
        while (c->canReadLine()) {
            const QByteArray line = c->readLine();
            if (inData_) {
                if (line != ".\r\n")
                    continue;
                inData_ = false;
                messageReceived = true;
                if (at_ != StallAt::EndOfData)
                    c->write("250 accepted\r\n");
                continue;
            }
            const QByteArray cmd = line.trimmed().toUpper();
            if (cmd.startsWith("EHLO"))
                c->write("250-stalling.example\r\n250 AUTH LOGIN\r\n");
            else if (cmd.startsWith("AUTH LOGIN") && cmd.size() > 10)
                c->write("334 UGFzc3dvcmQ6\r\n");
            else if (cmd.startsWith("AUTH LOGIN"))
                c->write("334 VXNlcm5hbWU6\r\n");
            else if (cmd.startsWith("MAIL") || cmd.startsWith("RCPT"))
                c->write("250 ok\r\n");
            else if (cmd == "DATA") {
                inData_ = true;
                c->write("354 go ahead\r\n");
            } else if (cmd == "QUIT") {
                quitReceived = true;
                if (at_ != StallAt::Quit)
                    c->write("221 bye\r\n");
            } else if (!authDone_) {
                // The user name, then the password, of AUTH LOGIN.
                if (++authLines_ == 2) {
                    authDone_ = true;
                    c->write("235 welcome\r\n");
                } else {
                    c->write("334 UGFzc3dvcmQ6\r\n");
                }
            } else {
                c->write("250 ok\r\n");
            }
        }
    }

    StallAt at_;
    QTcpServer server_;
    bool inData_ = false;
    bool authDone_ = false;
    int authLines_ = 0;
};

}  // namespace

class TestMail : public QObject
{
    Q_OBJECT

    SmtpPeer peer;

    static QString joinedBody(const QStringList& lines) { return lines.join("\r\n") + "\r\n"; }

private slots:
    void initTestCase() { QVERIFY2(peer.start(), qPrintable(peer.error())); }

    void composedMessageReadsBack_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QStringList>("body");
        const sor::MailMessage restore = sor::restoreMail("player@tavrek.example", "Ab9:@[`|{w", "x@y.z");
        QTest::newRow("the restore mail") << restore.senderName << restore.subject << restore.bodyLines;
        QTest::newRow("plain name with signs that need quoting")
            << "Game, \"Tavrek\" Inc." << "Plain subject" << QStringList{"one", "two"};
        QTest::newRow("long Cyrillic subject, folded") << "Имя"
            << QString("Очень длинная тема письма. ").repeated(8) << QStringList{"Тело «в кавычках» — тире"};
        QTest::newRow("characters outside the basic plane in headers") << "Игра 😀" << QString("😀ф").repeated(30)
            << QStringList{""};
    }

    void composedMessageReadsBack()
    {
        QFETCH(QString, name);
        QFETCH(QString, subject);
        QFETCH(QStringList, body);
        sor::MailMessage m{name, "sorventa@tavrek.example", "Player@Tavrek.example", subject, body};
        const QDateTime date(QDate(2024, 2, 29), QTime(23, 59, 58), Qt::OffsetFromUTC, 3 * 3600);
        const QByteArray bytes = sor::composeMail(m, date, "<id-1@tavrek.example>");
        QVERIFY(!bytes.isEmpty());
        const QJsonObject d = SmtpPeer::decodeBytes(bytes);
        QVERIFY(!d.isEmpty());
        QCOMPARE(d["from_name"].toString(), name);
        QCOMPARE(d["from_address"].toString(), QStringLiteral("sorventa@tavrek.example"));
        QCOMPARE(d["to"].toString(), QStringLiteral("Player@Tavrek.example"));
        QCOMPARE(d["subject"].toString(), subject);
        QCOMPARE(d["body"].toString(), joinedBody(body));
        QCOMPARE(d["content_type"].toString(), QStringLiteral("text/plain"));
        QCOMPARE(d["charset"].toString(), QStringLiteral("windows-1251"));
        QCOMPARE(d["transfer_encoding"].toString(), QStringLiteral("8bit"));
        QCOMPARE(d["mime_version"].toString(), QStringLiteral("1.0"));
        QCOMPARE(d["message_id"].toString(), QStringLiteral("<id-1@tavrek.example>"));
        QVERIFY(d["date_parses"].toBool());
        QVERIFY(d["date"].toString().contains("29 Feb 2024 23:59:58 +0300"));
        QCOMPARE(d["defects"].toArray().size(), 0);
        QVERIFY(!d["bare_lf"].toBool());
        QVERIFY(d["longest_header_line"].toInt() <= 78);
    }

    void bodyOutsideWindows1251IsNotSent()
    {
        sor::MailMessage m = sor::restoreMail("player@tavrek.example", "0123456789", "sorventa@tavrek.example");
        m.bodyLines << QStringLiteral("漢字");
        QVERIFY(sor::composeMail(m, QDateTime::currentDateTime(), "<a@b>").isEmpty());
        sor::SmtpMailSender sender(peer.clientSettings());
        const int before = int(peer.messageFiles().size());
        QVERIFY(!sender.send(m));
        QCOMPARE(peer.messageFiles().size(), before);
    }

    // One message through AUTH LOGIN, to the address as typed, reading back as written.
    void sendsThroughThePeer()
    {
        sor::SmtpMailSender sender(peer.clientSettings());
        const int before = int(peer.messageFiles().size());
        const sor::MailMessage m = sor::restoreMail("New.Player@Tavrek.example", "z{|9A", sender.senderAddress());
        QVERIFY2(sender.send(m), qPrintable(sender.lastError()));
        QVERIFY(peer.waitForMessages(before + 1));
        QCOMPARE(peer.messageFiles().size(), before + 1);
        const QJsonObject d = SmtpPeer::decode(peer.messageFiles().last());
        QCOMPARE(d["envelope_to"].toArray(), QJsonArray({"New.Player@Tavrek.example"}));
        QCOMPARE(d["subject"].toString(), m.subject);
        QCOMPARE(d["from_name"].toString(), m.senderName);
        QCOMPARE(d["body"].toString(), joinedBody(m.bodyLines));
        QVERIFY(d["message_id"].toString().endsWith("@tavrek.example>"));
        QVERIFY(d["date_parses"].toBool());
        QCOMPARE(peer.authLog().last(), QStringLiteral("LOGIN ok"));
    }

    // LOGIN whenever the server offers it; a server without it still gets the
    // mail through a mechanism both sides know, and a wrong password is still
    // refused there. Each case on a peer of its own.
    void authenticatesAsTheServerOffers_data()
    {
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("logins");
        QTest::newRow("LOGIN and PLAIN") << QStringList{"LOGIN", "PLAIN"} << QString() << QStringList{"LOGIN ok"};
        QTest::newRow("LOGIN only") << QStringList{"LOGIN"} << QString() << QStringList{"LOGIN ok"};
        QTest::newRow("PLAIN only") << QStringList{"PLAIN"} << QString() << QStringList{"PLAIN ok"};
        QTest::newRow("PLAIN only, wrong password")
            << QStringList{"PLAIN"} << QStringLiteral("wrong") << QStringList{"PLAIN refused"};
    }

    void authenticatesAsTheServerOffers()
    {
        QFETCH(QStringList, offered);
        QFETCH(QString, password);
        QFETCH(QStringList, logins);
        SmtpPeer own;
        own.setAuthMechanisms(offered);
        QVERIFY2(own.start(), qPrintable(own.error()));
        sor::SmtpSettings s = own.clientSettings();
        if (!password.isEmpty())
            s.password = password;
        sor::SmtpMailSender sender(s);
        const bool sent = sender.send(sor::restoreMail("player@tavrek.example", "0123456789", sender.senderAddress()));
        QCOMPARE(own.authLog(), logins);
        if (password.isEmpty()) {
            QVERIFY2(sent, qPrintable(sender.lastError()));
            QVERIFY(own.waitForMessages(1));
        } else {
            QVERIFY(!sent);
            QCOMPARE(own.messageFiles().size(), 0);
        }
    }

    void failedSends_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("peer down") << "down";
        QTest::newRow("password refused") << "password";
        QTest::newRow("unknown account") << "user";
    }

    void failedSends()
    {
        QFETCH(QString, what);
        sor::SmtpSettings s = peer.clientSettings();
        const sortest::RefusingPort refusing;
        if (what == "down")
            s.port = refusing.port();
        else if (what == "password")
            s.password = "wrong";
        else
            s.user = "someone@tavrek.example";
        sor::SmtpMailSender sender(s);
        const int before = int(peer.messageFiles().size());
        QVERIFY(!sender.send(sor::restoreMail("player@tavrek.example", "0123456789", sender.senderAddress())));
        QVERIFY(!sender.lastError().isEmpty());
        QVERIFY(peer.onlyMarkerAfter(before));
    }

    // An address that would smuggle commands into the exchange fails before any
    // connection is made.
    void unsafeRecipientNeverConnects_data()
    {
        QTest::addColumn<QString>("recipient");
        QTest::newRow("CR") << "\"a\rb\"@tavrek.example";
        QTest::newRow("LF") << "\"a\nRCPT TO:<x@evil.example>\"@tavrek.example";
        QTest::newRow("NUL") << QString("\"a") + QChar(0) + "\"@tavrek.example";
        QTest::newRow("<") << "\"<a\"@tavrek.example";
        QTest::newRow(">") << "\"a>\"@tavrek.example";
    }
    void unsafeRecipientNeverConnects()
    {
        QFETCH(QString, recipient);
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        sor::SmtpSettings s = peer.clientSettings();
        s.port = listener.serverPort();
        sor::SmtpMailSender sender(s);
        QVERIFY(!sor::isSafeRecipient(recipient));
        QVERIFY(!sender.send(sor::restoreMail(recipient, "0123456789", sender.senderAddress())));
        // A connection of our own after the send: the first one the listener
        // reports must be it, not one the sender made before.
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, listener.serverPort());
        QVERIFY(listener.waitForNewConnection(10000));
        QTcpSocket* first = listener.nextPendingConnection();
        QVERIFY(first);
        QTRY_COMPARE_WITH_TIMEOUT(probe.state(), QAbstractSocket::ConnectedState, 10000);
        QCOMPARE(first->peerPort(), probe.localPort());
        QVERIFY(!listener.hasPendingConnections());
    }

    // A server that stops answering: before its greeting, after the message
    // (the mail is not known to be delivered, so the send fails), or at QUIT (the
    // mail was accepted, so the send succeeds). Each time the send ends within
    // its bounds (1 s for an answer, 3 s in all), and the thread that waited kept
    // running its timers meanwhile.
    void stalledServerIsGivenUp_data()
    {
        QTest::addColumn<int>("stallAt");
        QTest::addColumn<bool>("sent");
        QTest::newRow("no greeting") << int(StallingServer::StallAt::Greeting) << false;
        QTest::newRow("no answer after DATA") << int(StallingServer::StallAt::EndOfData) << false;
        QTest::newRow("no answer to QUIT") << int(StallingServer::StallAt::Quit) << true;
    }
    void stalledServerIsGivenUp()
    {
        QFETCH(int, stallAt);
        QFETCH(bool, sent);
        const auto at = StallingServer::StallAt(stallAt);
        StallingServer server(at);
        QVERIFY(server.listen());
        sor::SmtpSettings s = peer.clientSettings();
        s.port = server.port();
        s.responseTimeoutS = 1;
        s.totalTimeoutMs = 3000;
        sor::SmtpMailSender sender(s);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(50);
        QElapsedTimer took;
        took.start();
        const bool result = sender.send(sor::restoreMail("player@tavrek.example", "0123456789", sender.senderAddress()));
        const qint64 elapsed = took.elapsed();
        qInfo("the send ended after %lld ms", elapsed);
        QCOMPARE(result, sent);
        QCOMPARE(sender.lastError().isEmpty(), sent);
        QCOMPARE(server.connections, 1);
        if (at != StallingServer::StallAt::Greeting)
            QVERIFY(server.messageReceived);  // the stall came where it was meant to
        if (at == StallingServer::StallAt::Quit)
            QVERIFY(server.quitReceived);
        // The bounds themselves, and a second of slack for a loaded machine.
        QVERIFY2(elapsed < s.totalTimeoutMs + 1000, qPrintable(QString("the send took %1 ms").arg(elapsed)));
        if (!sent) {
            QVERIFY2(elapsed >= 900, qPrintable(QString("the send gave up after only %1 ms").arg(elapsed)));
            QVERIFY(ticks >= 10);
        }
    }
};

QTEST_GUILESS_MAIN(TestMail)
#include "tst_mail.moc"
