// The query objects against the game server: statements of lines, parameters by
// name, the rows, reopening as is, transactions, and statements kept prepared.

#include <QSqlQuery>
#include <QTest>

#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "support/MessageRecorder.h"
#include "support/TestServer.h"

using sor::TDbQuery;
using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();

// What another client sees (committed data only).
QVariant peek(const QString& sql)
{
    QSqlQuery q(TestServer::admin(kDb, QStringLiteral("peek")));
    if (!q.exec(sql) || !q.next())
        return QVariant();
    return q.value(0);
}

qint64 sessionCounter(TDbQuery& q, const char* name)
{
    q.setSql({QStringLiteral("SHOW SESSION STATUS LIKE '%1'").arg(QLatin1String(name))});
    q.open();
    return q.asLargeInt(QStringLiteral("Value"));
}

}  // namespace

class TestDbQuery : public QObject
{
    Q_OBJECT

    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<sortest::MessageRecorder> messages;

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
        messages = std::make_unique<sortest::MessageRecorder>();
        dm = std::make_unique<TDataModule1>(TestServer::clientParams(kDb));
        QCOMPARE(DataModule1, dm.get());
        dm->UniConnection1.open();
        QVERIFY(dm->UniConnection1.connected());
    }

    void init() { messages->clear(); }

    void cleanupTestCase()
    {
        dm.reset();
        QCOMPARE(DataModule1, nullptr);
    }

    // Lines are joined by line breaks: two lines make one statement.
    void linesMakeOneStatement()
    {
        TDbQuery& q = dm->QueryQuery;
        q.setSql({"SELECT VerSorventa", "FROM  Version "});
        QCOMPARE(q.sqlText(), QStringLiteral("SELECT VerSorventa\nFROM  Version "));
        q.open();
        QVERIFY(q.active());
        QCOMPARE(q.asString("VerSorventa"), QStringLiteral("3.1.0.0"));
        QCOMPARE(q.asString("versorventa"), QStringLiteral("3.1.0.0"));  // field names as MySQL: any case
    }

    // Each kind of value reaches the server as bound: the server compares it with
    // the literal. One name used twice takes one value.
    void valuesArriveAsBound_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("literal");
        QTest::newRow("64-bit") << "large" << QVariant(qint64(9000000000123)) << "9000000000123";
        QTest::newRow("negative 64-bit") << "large" << QVariant(qint64(-5)) << "-5";
        QTest::newRow("integer") << "int" << QVariant(2147483647) << "2147483647";
        QTest::newRow("text") << "text" << QVariant(QStringLiteral("Ответ: «да»")) << "'Ответ: «да»'";
        QTest::newRow("empty text") << "text" << QVariant(QStringLiteral("")) << "''";
        QTest::newRow("null text binds as empty") << "text" << QVariant(QString()) << "''";
        QTest::newRow("text with quotes") << "text" << QVariant(QStringLiteral("a' OR '1'='1")) << "'a\\' OR \\'1\\'=\\'1'";
    }

    void valuesArriveAsBound()
    {
        QFETCH(QString, kind);
        QFETCH(QVariant, value);
        QFETCH(QString, literal);
        TDbQuery& q = dm->QueryQuery;
        q.setSql({"SELECT :v IS NULL AS isnull, BINARY :v = BINARY " + literal + " AS same,",
                  "       :v = " + literal + " AS alsoSame"});
        QCOMPARE(q.paramNames(), QStringList{"v"});
        if (kind == QLatin1String("large"))
            q.bindLargeInt("v", value.toLongLong());
        else if (kind == QLatin1String("int"))
            q.bindInteger(":v", value.toInt());
        else
            q.bindString("V", value.toString());
        q.open();
        QCOMPARE(q.asInteger("isnull"), 0);
        QCOMPARE(q.asInteger("same"), 1);
        QCOMPARE(q.asInteger("alsoSame"), 1);
    }

    // Texts come back as they were stored, Cyrillic included.
    void textsRoundTrip()
    {
        TDbQuery& q = dm->QueryQuery;
        q.setSql({"INSERT INTO users ", "(loginEmail, password, name, surname)",
                  "VALUES (:lgn, :pss, :nm, :sn)"});
        q.bindString("lgn", "ёжик@tavrek.example");
        q.bindString("pss", dm->md5("пароль"));
        q.bindString("nm", "Ёжик «Колючий»");
        q.bindString("sn", "");
        QVERIFY(dm->UniConnection1.execInTransaction(q));
        q.setSql({"SELECT * ", "FROM users", "WHERE users.loginEmail=:lgn"});
        q.bindString("lgn", "ёжик@tavrek.example");
        q.open();
        QCOMPARE(q.recordCount(), 1);
        QCOMPARE(q.asString("name"), QStringLiteral("Ёжик «Колючий»"));
        QCOMPARE(q.asString("surname"), QStringLiteral(""));
        QCOMPARE(q.asString("password"), dm->md5("??????"));
        QVERIFY(q.asLargeInt("ID") > 0);
    }

    // A parameter left unbound, or bound under a wrong name, never goes out as NULL:
    // the statement is refused, reported, and nothing is written.
    void unboundParameterIsRefused_data()
    {
        QTest::addColumn<QStringList>("bind");
        QTest::addColumn<QString>("name");
        QTest::newRow("left unbound") << QStringList{"lgn", "nm"} << "sn";
        QTest::newRow("misspelt") << QStringList{"lgn", "nm", "snn"} << "sn";
        QTest::newRow("none bound") << QStringList{} << "lgn";
    }

    void unboundParameterIsRefused()
    {
        QFETCH(QStringList, bind);
        QFETCH(QString, name);
        const int before = peek("SELECT COUNT(*) FROM users").toInt();
        TDbQuery& q = dm->QueryQuery;
        q.setSql({"INSERT INTO users ", "(loginEmail, password, name, surname)",
                  "VALUES (:lgn, '', :nm, :sn)"});
        for (const QString& b : bind)
            q.bindString(b, QStringLiteral("x@tavrek.example"));
        try {
            q.execute();
            QFAIL("executed with a parameter unbound");
        } catch (const sor::EDbError& e) {
            QCOMPARE(e.number(), 2031);
            QVERIFY2(e.message().contains(QLatin1Char(':') + name) ||
                         (bind.contains("snn") && e.message().contains(":snn")),
                     qPrintable(e.message()));
        }
        QCOMPARE(messages->messages.size(), 1);
        QVERIFY(messages->messages[0].text.startsWith(QStringLiteral("Ошибка БД! 2031 ")));
        QCOMPARE(messages->messages[0].caption, QStringLiteral("Ошибка! "));
        QCOMPARE(peek("SELECT COUNT(*) FROM users").toInt(), before);
        QVERIFY(dm->UniConnection1.connected());
    }

    // The names that are parameters, as the driver reads them.
    void parameterNames_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("zero date literal") << "UPDATE  Sor_users \nSET Time_lvl1= '0000-00-00 00:00:00', \n"
                                              "WHERE UserID=:UserID"
                                           << QStringList{"UserID"};
        QTest::newRow("one name twice") << "VALUES (:UserID, NOW(), :Session)\nON DUPLICATE KEY UPDATE "
                                           "dt=NOW(),`Session`=:Session  "
                                        << QStringList{"UserID", "Session"};
        QTest::newRow("quoted colons") << "SELECT ':a', \":b\", `:c`, :d" << QStringList{"d"};
        QTest::newRow("double colon") << "SELECT a::b, :c" << QStringList{"c"};
        QTest::newRow("no name after colon") << "SELECT ': ', : x" << QStringList{};
        QTest::newRow("doubled quote inside text") << "SELECT 'it''s :no', :yes" << QStringList{"yes"};
    }

    void parameterNames()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, names);
        QCOMPARE(sor::statementParamNames(sql), names);
    }

    // The game's zero-date statement runs with only its real parameter bound.
    void zeroDateStatementRuns()
    {
        QVERIFY(TestServer::adminExec(kDb, "INSERT INTO Sor_users (UserID, dt, `Session`, Time_lvl1, Time_lvl2_end)"
                                           " VALUES (9101, NOW(), 's', NOW(), NOW())"));
        TDbQuery& q = dm->QueryQuery;
        q.setSql({"UPDATE  Sor_users ", "SET Time_lvl1= '0000-00-00 00:00:00', ",
                  "Time_lvl2_end= '0000-00-00 00:00:00'", "WHERE UserID=:UserID"});
        q.bindLargeInt("UserID", 9101);
        QVERIFY(dm->UniConnection1.execInTransaction(q));
        QVERIFY(messages->messages.isEmpty());

        q.setSql({"SELECT Time_lvl1, Time_lvl2_end, dt, CAST(NULL AS DATETIME) AS nothing",
                  "FROM Sor_users WHERE UserID=:UserID"});
        q.bindLargeInt("UserID", 9101);
        q.open();
        QVERIFY(!q.asDateTime("Time_lvl1").isValid());      // the zero date: not set
        QVERIFY(!q.asDateTime("Time_lvl2_end").isValid());
        QVERIFY(!q.asDateTime("nothing").isValid());        // NULL: not set
        QVERIFY(q.asDateTime("dt").isValid());
    }

    // First, next, move-by and end-of-rows, as the question draw uses them.
    void cursor()
    {
        TDbQuery& q = dm->QueryQuery;
        q.setSql({"SELECT Id FROM Sor_questions WHERE qlevel=:lvl ORDER BY Id"});
        q.bindInteger("lvl", 1);
        q.open();
        const int n = q.recordCount();
        QVERIFY(n >= 3);
        QVERIFY(!q.isEmpty());
        QVERIFY(!q.eof());
        QList<int> ids;
        for (q.first(); !q.eof(); q.next())
            ids << q.asInteger("Id");
        QCOMPARE(ids.size(), n);
        QVERIFY(std::is_sorted(ids.begin(), ids.end()));
        QCOMPARE(q.asInteger("Id"), ids.last());  // past the end: still on the last row

        q.first();
        q.moveBy(2);
        QCOMPARE(q.asInteger("Id"), ids[2]);
        QVERIFY(!q.eof());
        q.moveBy(-1);
        QCOMPARE(q.asInteger("Id"), ids[1]);
        q.moveBy(n + 5);
        QVERIFY(q.eof());
        QCOMPARE(q.asInteger("Id"), ids.last());
    }

    // No row: every field reads "not set"; an unknown field is an error.
    void emptyResultReadsNotSet()
    {
        TDbQuery& q = dm->QueryQuery;
        q.setSql({"SELECT Sor_questions.* FROM Sor_questions WHERE qlevel=:lvl"});
        q.bindInteger("lvl", 999);
        q.open();
        QVERIFY(q.isEmpty());
        QVERIFY(q.eof());
        QCOMPARE(q.recordCount(), 0);
        q.first();
        q.moveBy(3);
        QCOMPARE(q.asInteger("Id"), 0);
        QCOMPARE(q.asString("Question"), QStringLiteral(""));
        QVERIFY(!q.asString("var4").isNull());
        QVERIFY(!q.asDateTime("qlevel").isValid());
        QVERIFY_THROWS_EXCEPTION(sor::EDbError, q.asString("Qestion"));
        q.close();
        QVERIFY(!q.active());
        QVERIFY_THROWS_EXCEPTION(sor::EDbError, q.asInteger("Id"));
    }

    // Closed and opened again as it is, the object runs its statement with the
    // values it was given, and sees the data as it is now.
    void reopensAsIs()
    {
        QVERIFY(TestServer::adminExec(kDb, "INSERT INTO Sor_users (UserID, dt, `Session`, GameStatus)"
                                           " VALUES (9102, NOW(), '{S-9102}', 1)"));
        TDbQuery& q = dm->QVerGUID;
        q.setSql({"SELECT * ", "FROM Sor_users", "WHERE Session=:Session"});
        q.bindString("Session", "{S-9102}");
        q.open();
        QCOMPARE(q.asInteger("GameStatus"), 1);

        QVERIFY(TestServer::adminExec(kDb, "UPDATE Sor_users SET GameStatus=3 WHERE UserID=9102"));
        q.close();
        QCOMPARE(q.paramValue("Session").toString(), QStringLiteral("{S-9102}"));
        q.open();
        QCOMPARE(q.asInteger("GameStatus"), 3);

        QVERIFY(TestServer::adminExec(kDb, "UPDATE Sor_users SET `Session`='{other}' WHERE UserID=9102"));
        q.close();
        q.open();
        QVERIFY(q.isEmpty());
    }

    // Matched rows count as affected, also when the value does not change.
    void rowsAffected()
    {
        TDbQuery& q = dm->QueryQuery;
        q.setSql({"UPDATE  users ", "SET CodeRest=:code", "WHERE loginEmail=:lgn"});
        q.bindString("code", "Ab3Cd4Ef5G");
        q.bindString("lgn", "demo@tavrek.example");
        int affected = -1;
        QVERIFY(dm->UniConnection1.execInTransaction(q, [&] { affected = q.rowsAffected(); }));
        QCOMPARE(affected, 1);
        QVERIFY(dm->UniConnection1.execInTransaction(q, [&] { affected = q.rowsAffected(); }));
        QCOMPARE(affected, 1);
        q.bindString("lgn", "nobody@tavrek.example");
        QVERIFY(dm->UniConnection1.execInTransaction(q, [&] { affected = q.rowsAffected(); }));
        QCOMPARE(affected, 0);
    }

    // A write is committed as a whole or not at all; the failure is reported once
    // (by the error report), and the helper goes on.
    void transactionCommitsOrRollsBack()
    {
        sor::TDbConnection& c = dm->UniConnection1;
        TDbQuery& q = dm->QueryQuery;
        auto insertAnswer = [&](int quest) {
            q.setSql({"INSERT INTO Sor_Games", " (QuestID, QVar, QTur, SorUserID)",
                      "VALUES (:QuestID, :QVar, :QTur, :SorUserID)"});
            q.bindInteger("QuestID", quest);
            q.bindInteger("QVar", 4);
            q.bindInteger("QTur", 1);
            q.bindLargeInt("SorUserID", 9103);
            q.execute();
        };
        const QString count = QStringLiteral("SELECT COUNT(*) FROM Sor_Games WHERE SorUserID=9103");

        QVERIFY(c.runTransaction([&] { insertAnswer(1); insertAnswer(2); }));
        QCOMPARE(peek(count).toInt(), 2);
        QVERIFY(!c.inTransaction());

        // The second statement fails on the server: the first is undone.
        QVERIFY(!c.runTransaction([&] {
            insertAnswer(3);
            q.setSql({"INSERT INTO Sor_users (UserID, dt, `Session`) VALUES (:id, NOW(), '')"});
            q.bindLargeInt("id", 9101);  // exists already
            q.execute();
        }));
        QCOMPARE(peek(count).toInt(), 2);
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages[0].text,
                 QStringLiteral("Ошибка сохранения данных.\r\nТакая запись уже существует!"));

        // Any other failure inside is rolled back as well.
        QVERIFY(!c.runTransaction([&] {
            insertAnswer(4);
            throw std::runtime_error("the game changed its mind");
        }));
        QCOMPARE(peek(count).toInt(), 2);
        QVERIFY(!c.inTransaction());
        QVERIFY(c.connected());
        QCOMPARE(messages->messages.size(), 1);

        // Unhandled server errors too, and the caller sees false, not an exception.
        QVERIFY(!c.runTransaction([&] {
            insertAnswer(5);
            q.setSql({"UPDATE Sor_Games SET QVar = QVar + 'x' WHERE SorUserID=:id"});
            q.bindLargeInt("id", 9103);
            q.execute();
        }));
        QCOMPARE(peek(count).toInt(), 2);

        // A transaction started inside another fails the outer one as a whole:
        // nothing of it is stored, nothing is committed piecemeal after it.
        QVERIFY(!c.runTransaction([&] {
            insertAnswer(6);
            c.execInTransaction(q);
            insertAnswer(7);
        }));
        QCOMPARE(peek(count).toInt(), 2);
        QVERIFY(!c.inTransaction());
        QVERIFY(c.connected());
    }

    // A procedure's rows read as a SELECT's do, prepared once and called again,
    // and the connection is free for the next statement after each call.
    void procedureRows()
    {
        QVERIFY(TestServer::adminExec(kDb, "DROP PROCEDURE IF EXISTS t_levels"));
        QVERIFY(TestServer::adminExec(
            kDb, "CREATE PROCEDURE t_levels(IN upTo INT, IN tag VARCHAR(20)) "
                 "SELECT qlevel, COUNT(*) AS n, tag, NOW() AS dts FROM Sor_questions "
                 "WHERE qlevel <= upTo GROUP BY qlevel ORDER BY qlevel"));
        QVERIFY(TestServer::adminExec(
            kDb, QStringLiteral("GRANT EXECUTE ON PROCEDURE %1.t_levels TO 'tavrekdb2'@'%'").arg(kDb)));
        TDbQuery& q = dm->QueryQuery;
        TDbQuery& clock = dm->QueryClockServer;
        q.setSql({"CALL t_levels(:lvl, :tag)"});
        for (int lvl : {3, 2}) {
            q.bindInteger("lvl", lvl);
            q.bindString("tag", "Ёж");
            q.open();
            QVERIFY(q.active());
            QCOMPARE(q.recordCount(), lvl);
            QCOMPARE(q.asInteger("qlevel"), 1);
            QVERIFY(q.asInteger("n") > 0);
            QCOMPARE(q.asString("tag"), QStringLiteral("Ёж"));
            QVERIFY(q.asDateTime("dts").isValid());
            q.next();
            QCOMPARE(q.asInteger("qlevel"), 2);
            clock.close();
            clock.open();
            QVERIFY(clock.asDateTime("dtsr").isValid());
        }
        QVERIFY(messages->messages.isEmpty());
    }

    // While its text and the connection stay the same, a statement is prepared on
    // the server once; statements that take turns on one object stay prepared too.
    void statementsStayPrepared()
    {
        TDbQuery& counter = dm->QueryClockServer;
        TDbQuery& q = dm->QueryQuery;
        sessionCounter(counter, "Com_stmt_prepare");  // prepare the counter's own statement
        const qint64 before = sessionCounter(counter, "Com_stmt_prepare");
        for (int round = 0; round < 5; ++round) {
            for (int lvl = 1; lvl <= 3; ++lvl) {
                q.setSql({"SELECT COUNT(*) AS n FROM Sor_questions WHERE qlevel=:lvl"});
                q.bindInteger("lvl", lvl);
                q.open();
                QVERIFY(q.asInteger("n") > 0);
                q.setSql({"SELECT NOW() AS dts"});
                q.open();
            }
        }
        QCOMPARE(sessionCounter(counter, "Com_stmt_prepare") - before, 2);

        // After a reconnect each statement is prepared again, once.
        dm->UniConnection1.close();
        dm->UniConnection1.open();
        sessionCounter(counter, "Com_stmt_prepare");
        const qint64 afterReconnect = sessionCounter(counter, "Com_stmt_prepare");
        q.open();
        q.open();
        QCOMPARE(sessionCounter(counter, "Com_stmt_prepare") - afterReconnect, 1);
    }
};

QTEST_GUILESS_MAIN(TestDbQuery)
#include "tst_dbquery.moc"
