// The game database as the client meets it: the schema, the client account's
// rights, the statements the client relies on, and the seed.

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include "support/TestServer.h"

using sortest::TestServer;

namespace {
const QString kDb = sortest::TestServer::ownDatabase();

QString lines(const QStringList& l)
{
    return l.join('\n');
}

QString nativeError(const QSqlQuery& q)
{
    return q.lastError().nativeErrorCode();
}
}  // namespace

class TestSchema : public QObject
{
    Q_OBJECT

    QSqlDatabase db;

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
        db = TestServer::client(kDb, QStringLiteral("client"));
        QVERIFY(db.isOpen());
    }

    void sixTablesAreThere()
    {
        for (const char* t : {"users", "Sor_users", "Sor_questions", "Sor_Games", "Sor_setttings", "Version"}) {
            QSqlQuery q(db);
            QVERIFY2(q.exec(QStringLiteral("SELECT * FROM %1 LIMIT 1").arg(QLatin1String(t))),
                     qPrintable(q.lastError().text()));
        }
    }

    // The login's upsert supplies UserID, dt and Session only; the rest must
    // read as a fresh state. A second upsert updates the same row.
    void upsertCreatesThenUpdatesOneRow()
    {
        const QString upsert = lines({"INSERT INTO Sor_users (UserID, dt, `Session`)",
                                      "VALUES (:UserID, NOW(), :Session)",
                                      "ON DUPLICATE KEY UPDATE dt=NOW(),`Session`=:Session  "});
        const QString first = QStringLiteral("{11111111-2222-3333-4444-555555555555}");
        const QString second = QStringLiteral("{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}");
        for (const QString& guid : {first, second}) {
            QSqlQuery q(db);
            QVERIFY(q.prepare(upsert));
            q.bindValue(QStringLiteral(":UserID"), qint64(7001));
            q.bindValue(QStringLiteral(":Session"), guid);
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }

        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT * FROM Sor_users WHERE UserID=7001")));
        QVERIFY(q.next());
        QCOMPARE(q.value("Session").toString(), second);
        QCOMPARE(q.value("GameStatus").toInt(), 0);
        for (const char* col : {"Time_lvl1", "Time_lvl2", "Time_lvl3", "Time_lvl1_end", "Time_lvl2_end",
                                "Time_lvl3_end"}) {
            const QVariant v = q.value(QLatin1String(col));
            QVERIFY2(!v.toDateTime().isValid(), col);  // the zero date: "not set"
        }
        QVERIFY(q.value("dt").toDateTime().isValid());
        QVERIFY(!q.next());
    }

    // The new-game statements, exactly as the game sends them, need the zero date.
    void newGameStatementsAcceptTheZeroDate()
    {
        QVERIFY(TestServer::adminExec(kDb, QStringLiteral(
            "INSERT INTO Sor_users (UserID, dt, `Session`, GameStatus, Time_lvl1, Time_lvl1_end, Time_lvl2,"
            " Time_lvl2_end, Time_lvl3, Time_lvl3_end) VALUES (7002, NOW(), 'x', 2, NOW(), NOW(), NOW(),"
            " NOW(), NOW(), NOW())")));
        QVERIFY(TestServer::adminExec(kDb, QStringLiteral(
            "INSERT INTO Sor_Games (QuestID, QVar, QTur, SorUserID) VALUES (1, 4, 1, 7002), (2, 1, 1, 7002)")));

        const QString zero = lines({"UPDATE  Sor_users ",
                                    "SET Time_lvl1= '0000-00-00 00:00:00', ",
                                    "Time_lvl2= '0000-00-00 00:00:00', ",
                                    "Time_lvl3= '0000-00-00 00:00:00', ",
                                    "Time_lvl1_end= '0000-00-00 00:00:00', ",
                                    "Time_lvl2_end= '0000-00-00 00:00:00', ",
                                    "Time_lvl3_end= '0000-00-00 00:00:00'",
                                    "WHERE UserID=:UserID"});
        QVERIFY(db.transaction());
        QSqlQuery q(db);
        QVERIFY(q.prepare(zero));
        q.bindValue(QStringLiteral(":UserID"), qint64(7002));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        QCOMPARE(q.numRowsAffected(), 1);
        QSqlQuery del(db);
        QVERIFY(del.prepare(QStringLiteral("DELETE FROM Sor_Games WHERE SorUserID=:SorUserID")));
        del.bindValue(QStringLiteral(":SorUserID"), qint64(7002));
        QVERIFY2(del.exec(), qPrintable(del.lastError().text()));
        QCOMPARE(del.numRowsAffected(), 2);
        QVERIFY(db.commit());

        QSqlQuery check(db);
        QVERIFY(check.exec(QStringLiteral("SELECT Time_lvl1, Time_lvl3_end FROM Sor_users WHERE UserID=7002")));
        QVERIFY(check.next());
        QVERIFY(!check.value(0).toDateTime().isValid());
        QVERIFY(!check.value(1).toDateTime().isValid());
    }

    // Rows only: no table changes, no other database.
    void clientAccountHasRowRightsOnly_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("create table") << "CREATE TABLE x (i INT)";
        QTest::newRow("drop table") << "DROP TABLE Sor_Games";
        QTest::newRow("alter table") << "ALTER TABLE users ADD COLUMN x INT";
        QTest::newRow("truncate") << "TRUNCATE TABLE Sor_Games";
        QTest::newRow("create database") << "CREATE DATABASE sorventa_other";
        QTest::newRow("system tables") << "SELECT * FROM mysql.user";
        QTest::newRow("grant") << "GRANT ALL ON t_schema.* TO 'tavrekdb2'@'%'";
    }

    void clientAccountHasRowRightsOnly()
    {
        QFETCH(QString, sql);
        QSqlQuery q(db);
        QVERIFY2(!q.exec(sql), qPrintable(sql));
        const int code = nativeError(q).toInt();
        QVERIFY2(code == 1142 || code == 1044 || code == 1045 || code == 1227 || code == 1410,
                 qPrintable(q.lastError().text()));
    }

    // Answers are recorded and deleted with a new game, never changed.
    void rowRightsWork()
    {
        QSqlQuery q(db);
        QVERIFY2(q.exec(QStringLiteral("INSERT INTO Sor_Games (QuestID, QVar, QTur, SorUserID) VALUES (1,1,1,9)")),
                 qPrintable(q.lastError().text()));
        QVERIFY(!q.exec(QStringLiteral("UPDATE Sor_Games SET QVar=2 WHERE SorUserID=9")));
        QCOMPARE(nativeError(q), QStringLiteral("1142"));
        QVERIFY(q.exec(QStringLiteral("DELETE FROM Sor_Games WHERE SorUserID=9")));
        QCOMPARE(q.numRowsAffected(), 1);
    }

    // Every table has a primary key (row-based replication and clustering need
    // one); Sor_Games's is the player and the question, so the server itself
    // refuses an answer stored twice, also through the game's own statement.
    void everyTableHasAPrimaryKey()
    {
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral(
            "SELECT t.TABLE_NAME, GROUP_CONCAT(k.COLUMN_NAME ORDER BY k.ORDINAL_POSITION) "
            "FROM information_schema.TABLES t LEFT JOIN information_schema.KEY_COLUMN_USAGE k "
            "ON k.TABLE_SCHEMA = t.TABLE_SCHEMA AND k.TABLE_NAME = t.TABLE_NAME AND k.CONSTRAINT_NAME = 'PRIMARY' "
            "WHERE t.TABLE_SCHEMA = DATABASE() GROUP BY t.TABLE_NAME")));
        QMap<QString, QString> keys;
        while (q.next())
            keys[q.value(0).toString()] = q.value(1).toString();
        QCOMPARE(keys, (QMap<QString, QString>{{"users", "ID"},
                                               {"Sor_users", "UserID"},
                                               {"Sor_questions", "Id"},
                                               {"Sor_Games", "SorUserID,QuestID"},
                                               {"Sor_setttings", "id"},
                                               {"Version", "id"}}));

        const QString record = lines({"INSERT INTO Sor_Games", " (QuestID, QVar, QTur, SorUserID)",
                                      "VALUES (:QuestID, :QVar, :QTur, :SorUserID)"});
        for (int attempt = 0; attempt < 2; ++attempt) {
            QSqlQuery insert(db);
            QVERIFY(insert.prepare(record));
            insert.bindValue(QStringLiteral(":QuestID"), 3);
            insert.bindValue(QStringLiteral(":QVar"), attempt ? 4 : 1);
            insert.bindValue(QStringLiteral(":QTur"), 1);
            insert.bindValue(QStringLiteral(":SorUserID"), qint64(7003));
            if (attempt == 0) {
                QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
            } else {
                QVERIFY(!insert.exec());
                QCOMPARE(nativeError(insert), QStringLiteral("1062"));
            }
        }
        QVERIFY(q.exec(QStringLiteral("SELECT QVar FROM Sor_Games WHERE SorUserID=7003")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        QVERIFY(!q.next());
    }

    // A database of a server made before the keys: the migration gives every
    // table its key, keeps the first of each doubled answer in Sor_Games and
    // every doubled row, as it was, in Sor_Games_doubled; a second run changes
    // nothing, and the migrated database serves the game's statements.
    void migrationOfAnOldDatabase()
    {
        const QString old = kDb + QStringLiteral("_old");
        QVERIFY(TestServer::adminExec(QStringLiteral("mysql"), QStringLiteral("DROP DATABASE IF EXISTS %1").arg(old)));
        QVERIFY(TestServer::adminExec(QStringLiteral("mysql"), QStringLiteral("CREATE DATABASE %1").arg(old)));
        for (const char* sql :
             {"CREATE TABLE users (ID INT NOT NULL AUTO_INCREMENT, loginEmail VARCHAR(254) NOT NULL,"
              " UNIQUE KEY (ID), UNIQUE KEY (loginEmail))",
              "CREATE TABLE Sor_users (UserID INT NOT NULL, `Session` VARCHAR(38), GameStatus INT, UNIQUE KEY (UserID))",
              "CREATE TABLE Sor_questions (Id INT NOT NULL, Question VARCHAR(100), qlevel INT)",
              "CREATE TABLE Sor_Games (QuestID INT NOT NULL, QVar INT NOT NULL, QTur INT NOT NULL,"
              " SorUserID INT NOT NULL, KEY ix_Sor_Games_quest_user (QuestID, SorUserID))",
              "CREATE TABLE Sor_setttings (level1 INT, level2 INT, level3 INT)",
              "CREATE TABLE Version (VerSorventa VARCHAR(32))",
              "INSERT INTO Sor_setttings VALUES (600, 700, 800)",
              "INSERT INTO Version VALUES ('3.1.0.0')",
              "INSERT INTO Sor_questions VALUES (5, 'a', 1), (6, 'b', 2)",
              // Player 7 answered question 5 twice (1, then 4) and question 6 twice alike.
              "INSERT INTO Sor_Games VALUES (5, 1, 1, 7), (6, 4, 1, 7), (5, 4, 1, 7), (5, 2, 1, 8), (6, 4, 1, 7)"})
            QVERIFY(TestServer::adminExec(old, QLatin1String(sql)));

        QString output;
        const QStringList migrate{"migrate", "--dir", TestServer::dir(), "--database", old};
        QCOMPARE(sortest::runGameServerScript(migrate, &output), 0);
        QVERIFY2(output.contains("4 rows of doubled answers copied to Sor_Games_doubled"), qPrintable(output));
        QCOMPARE(sortest::runGameServerScript(migrate, &output), 0);
        QCOMPARE(output.trimmed(), QString());

        QSqlDatabase admin = TestServer::admin(old, QStringLiteral("migrated"));
        QSqlQuery q(admin);
        const auto rows = [&](const QString& sql) {
            QStringList out;
            if (!q.exec(sql))
                return QStringList{q.lastError().text()};
            while (q.next()) {
                QStringList fields;
                for (int i = 0; i < q.record().count(); ++i)
                    fields << q.value(i).toString();
                out << fields.join(' ');
            }
            return out;
        };
        QCOMPARE(rows("SELECT TABLE_NAME, GROUP_CONCAT(COLUMN_NAME ORDER BY ORDINAL_POSITION) "
                      "FROM information_schema.KEY_COLUMN_USAGE WHERE TABLE_SCHEMA = DATABASE() "
                      "AND CONSTRAINT_NAME = 'PRIMARY' GROUP BY TABLE_NAME ORDER BY TABLE_NAME"),
                 (QStringList{"Sor_draws UserID", "Sor_Games SorUserID,QuestID", "Sor_Games_doubled id",
                              "Sor_limits name", "Sor_login_fails id", "Sor_outbox id", "Sor_passwords UserID",
                              "Sor_questions Id", "Sor_requests id", "Sor_restore UserID", "Sor_setttings id",
                              "Sor_users UserID", "users ID", "Version id"}));
        QCOMPARE(rows("SELECT SorUserID, QuestID, QVar FROM Sor_Games ORDER BY SorUserID, QuestID"),
                 (QStringList{"7 5 1", "7 6 4", "8 5 2"}));
        QCOMPARE(rows("SELECT SorUserID, QuestID, QVar FROM Sor_Games_doubled ORDER BY SorUserID, QuestID, QVar"),
                 (QStringList{"7 5 1", "7 5 4", "7 6 4", "7 6 4"}));
        QCOMPARE(rows("SELECT *, NOW() AS dts FROM Sor_setttings").value(0).section(' ', 0, 2), QString("600 700 800"));
        QCOMPARE(rows(lines({"SELECT VerSorventa", "FROM  Version "})), QStringList{"3.1.0.0"});
        QCOMPARE(rows("SELECT INDEX_NAME FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = DATABASE() "
                      "AND TABLE_NAME = 'Sor_Games' AND INDEX_NAME <> 'PRIMARY' GROUP BY INDEX_NAME"),
                 QStringList{"ix_Sor_Games_user_tour"});
        admin.close();
        QVERIFY(TestServer::adminExec(QStringLiteral("mysql"), QStringLiteral("DROP DATABASE %1").arg(old)));
    }

    // The migration on a database made from today's schema changes nothing.
    void migrationOfANewDatabase()
    {
        QString output;
        QCOMPARE(sortest::runGameServerScript({"migrate", "--dir", TestServer::dir(), "--database", kDb}, &output),
                 0);
        QCOMPARE(output.trimmed(), QString());
    }

    // Addresses are stored lower-cased; another capitalisation is a duplicate.
    void emailIsUniqueWhateverTheCase()
    {
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("INSERT INTO users (loginEmail, password, name, surname) "
                                      "VALUES ('case@tavrek.example', '', '', '')")));
        QVERIFY(!q.exec(QStringLiteral("INSERT INTO users (loginEmail, password, name, surname) "
                                       "VALUES ('CASE@Tavrek.Example', '', '', '')")));
        QCOMPARE(nativeError(q), QStringLiteral("1062"));
    }

    // The restore code is compared exactly: another letter case is another code.
    void restoreCodeComparesExactly()
    {
        QSqlQuery q(db);
        QVERIFY(TestServer::adminExec(
            kDb, QStringLiteral("INSERT INTO users (loginEmail, CodeRest) VALUES ('code@tavrek.example', 'aB3xYz9Q0w')")));
        QVERIFY(q.exec(QStringLiteral("SELECT ID FROM users WHERE CodeRest='AB3XYZ9Q0W'")));
        QVERIFY(!q.next());
        QVERIFY(q.exec(QStringLiteral("SELECT ID FROM users WHERE CodeRest='aB3xYz9Q0w'")));
        QVERIFY(q.next());
    }

    void versionStatementOfTwoLines()
    {
        QSqlQuery q(db);
        QVERIFY2(q.exec(lines({"SELECT VerSorventa", "FROM  Version "})), qPrintable(q.lastError().text()));
        QVERIFY(q.next());
        QCOMPARE(q.value("VerSorventa").toString().trimmed(), QStringLiteral("3.1.0.0"));
    }

    void settingsRowGivesThreeTourLengths()
    {
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT *, NOW() AS dts FROM Sor_setttings")));
        QVERIFY(q.next());
        for (int n = 1; n <= 3; ++n)
            QVERIFY(q.value(QStringLiteral("level%1").arg(n)).toInt() > 0);
        QVERIFY(q.value("dts").toDateTime().isValid());
    }

    void demoAccountIsThere()
    {
        const QString hash = QString::fromLatin1(
            QCryptographicHash::hash("sorventa", QCryptographicHash::Md5).toHex());
        QSqlQuery q(db);
        QVERIFY(q.prepare(QStringLiteral("SELECT ID FROM users WHERE loginEmail=:l AND password=:p")));
        q.bindValue(QStringLiteral(":l"), QStringLiteral("demo@tavrek.example"));
        q.bindValue(QStringLiteral(":p"), hash);
        QVERIFY(q.exec());
        QVERIFY(q.next());
    }

    // Enough questions on every level for a few games without a repeat, each
    // with four distinct variants, none asked twice.
    void questionBank()
    {
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT qlevel, COUNT(*) FROM Sor_questions GROUP BY qlevel ORDER BY qlevel")));
        QMap<int, int> perLevel;
        while (q.next())
            perLevel[q.value(0).toInt()] = q.value(1).toInt();
        for (int level = 1; level <= 21; ++level)
            QVERIFY2(perLevel.value(level) >= 6, qPrintable(QStringLiteral("level %1 has %2 questions")
                                                                .arg(level).arg(perLevel.value(level))));
        QCOMPARE(perLevel.firstKey(), 1);
        QCOMPARE(perLevel.lastKey(), 21);

        QVERIFY(q.exec(QStringLiteral("SELECT Id, Question, var1, var2, var3, var4 FROM Sor_questions")));
        QSet<QString> questions;
        while (q.next()) {
            const QString question = q.value(1).toString();
            QVERIFY2(!question.trimmed().isEmpty(), qPrintable(q.value(0).toString()));
            QVERIFY2(!questions.contains(question), qPrintable(question));
            questions.insert(question);
            QSet<QString> variants;
            for (int i = 2; i <= 5; ++i) {
                const QString v = q.value(i).toString();
                QVERIFY2(!v.trimmed().isEmpty(), qPrintable(question));
                variants.insert(v.toLower());
            }
            QVERIFY2(variants.size() == 4, qPrintable(question));
        }
    }

    // Every question is heard, not read: a synthesizer spells Latin letters and
    // Roman numerals out in English or letter by letter, ends the question at a
    // "?" inside it, and says nothing sensible for a lone hard or soft sign.
    void questionBankReadsWellByEar()
    {
        static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
        static const QRegularExpression loneSign(QStringLiteral("(^|[^\\w])[ЬЪьъ]($|[^\\w])"),
                                                 QRegularExpression::UseUnicodePropertiesOption);
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT Id, qlevel, Question, var1, var2, var3, var4 FROM Sor_questions")));
        QStringList faults;
        while (q.next()) {
            const QString question = q.value(2).toString();
            const QString where = QStringLiteral("level %1: %2").arg(q.value(1).toInt()).arg(question);
            for (int i = 2; i <= 6; ++i) {
                const QString text = q.value(i).toString();
                if (text.contains(latin))
                    faults << where + QStringLiteral(" | Latin letters in \"%1\"").arg(text);
                if (text.contains(loneSign))
                    faults << where + QStringLiteral(" | a lone sign in \"%1\"").arg(text);
            }
            const int mark = question.indexOf(QLatin1Char('?'));
            if (mark >= 0 && mark != question.size() - 1)
                faults << where + QStringLiteral(" | \"?\" inside the question");
            for (int i = 3; i <= 6; ++i)
                if (q.value(i).toString().contains(QLatin1Char('?')))
                    faults << where + QStringLiteral(" | \"?\" in a variant");
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    // Two questions said loosely enough to have another right answer.
    void looseQuestionsAreExact_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("answer");
        QTest::newRow("the Hermitage") << 6 << QStringLiteral("В каком городе находится Государственный Эрмитаж?")
                                       << QStringLiteral("Санкт-Петербург");
        QTest::newRow("four colours")
            << 21
            << QStringLiteral("Каким наименьшим числом цветов всегда можно раскрасить любую карту на плоскости так, "
                              "чтобы соседние страны различались, если каждая страна — одна сплошная область?")
            << QStringLiteral("Четырьмя");
    }

    void looseQuestionsAreExact()
    {
        QFETCH(int, level);
        QFETCH(QString, question);
        QFETCH(QString, answer);
        QSqlQuery q(db);
        QVERIFY(q.prepare(QStringLiteral("SELECT var4 FROM Sor_questions WHERE Question=:q AND qlevel=:l")));
        q.bindValue(QStringLiteral(":q"), question);
        q.bindValue(QStringLiteral(":l"), level);
        QVERIFY(q.exec());
        QVERIFY2(q.next(), qPrintable(question));
        QCOMPARE(q.value(0).toString(), answer);
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
