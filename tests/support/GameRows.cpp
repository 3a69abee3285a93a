#include "GameRows.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <tuple>

#include "TestServer.h"
#include "data/DbConnection.h"
#include "data/DbQuery.h"

namespace sortest {
namespace {
const QString kNotSet = QStringLiteral("'0000-00-00 00:00:00'");
}

GameRows::GameRows(QString database, qint64 userId) : db_(std::move(database)), user_(userId) {}

QString GameRows::at(int seconds)
{
    return QStringLiteral("(TIMESTAMP('%1') + INTERVAL %2 SECOND)").arg(kT0).arg(seconds);
}

QDateTime GameRows::atTime(int seconds)
{
    return QDateTime::fromString(kT0, QStringLiteral("yyyy-MM-dd HH:mm:ss")).addSecs(seconds);
}

QString GameRows::startField(int tour)
{
    return QStringLiteral("Time_lvl%1").arg(tour);
}

QString GameRows::endField(int tour)
{
    return QStringLiteral("Time_lvl%1_end").arg(tour);
}

bool GameRows::exec(const QString& sql) const
{
    return TestServer::adminExec(db_, sql);
}

QVariant GameRows::value(const QString& sql) const
{
    QSqlQuery q(TestServer::admin(db_, QStringLiteral("gamerows")));
    if (!q.exec(sql)) {
        qWarning() << "GameRows:" << sql << q.lastError().text();
        return QVariant();
    }
    return q.next() ? q.value(0) : QVariant();
}

void GameRows::reset(int status) const
{
    exec(QStringLiteral("DELETE FROM Sor_Games"));
    QStringList stamps;
    for (int t = 1; t <= 3; ++t)
        stamps << startField(t) + QStringLiteral("=") + kNotSet << endField(t) + QStringLiteral("=") + kNotSet;
    exec(QStringLiteral("UPDATE Sor_users SET GameStatus=%1, %2 WHERE UserID=%3")
             .arg(status)
             .arg(stamps.join(QStringLiteral(", ")))
             .arg(user_));
    setTourLengths(600, 600, 600);
}

void GameRows::setTourLengths(int l1, int l2, int l3) const
{
    exec(QStringLiteral("UPDATE Sor_setttings SET level1=%1, level2=%2, level3=%3").arg(l1).arg(l2).arg(l3));
}

void GameRows::setStatus(int status) const
{
    exec(QStringLiteral("UPDATE Sor_users SET GameStatus=%1 WHERE UserID=%2").arg(status).arg(user_));
}

int GameRows::status() const
{
    return value(QStringLiteral("SELECT GameStatus FROM Sor_users WHERE UserID=%1").arg(user_)).toInt();
}

void GameRows::addAnswers(int tour, int answers, int wrong) const
{
    // The tour-th question (by Id) of each level 1..answers.
    exec(QStringLiteral("INSERT INTO Sor_Games (QuestID, QVar, QTur, SorUserID) "
                        "SELECT q.Id, IF(q.qlevel <= %3, 1, 4), %1, %4 FROM Sor_questions q "
                        "WHERE q.qlevel <= %2 AND (SELECT COUNT(*) FROM Sor_questions q2 "
                        "WHERE q2.qlevel = q.qlevel AND q2.Id < q.Id) = %1 - 1")
             .arg(tour)
             .arg(answers)
             .arg(wrong)
             .arg(user_));
}

void GameRows::addOthersAnswers(int questId, int count, qint64 otherUser) const
{
    // A player answers a question once in a game: each row is another player's.
    for (int i = 0; i < count; ++i)
        exec(QStringLiteral("INSERT INTO Sor_Games (QuestID, QVar, QTur, SorUserID) VALUES (%1, 4, 1, %2)")
                 .arg(questId)
                 .arg(otherUser + i));
}

void GameRows::setStamp(const QString& field, const QString& sqlValue) const
{
    exec(QStringLiteral("UPDATE Sor_users SET %1=%2 WHERE UserID=%3").arg(field, sqlValue).arg(user_));
}

QDateTime GameRows::stamp(const QString& field) const
{
    const QVariant v = value(QStringLiteral("SELECT %1 FROM Sor_users WHERE UserID=%2").arg(field).arg(user_));
    const QDateTime dt = v.toDateTime();
    return v.isNull() || !dt.isValid() ? QDateTime() : dt;
}

bool GameRows::Answer::operator<(const Answer& o) const
{
    return std::tie(tour, level, questId, qvar) < std::tie(o.tour, o.level, o.questId, o.qvar);
}

bool GameRows::Answer::operator==(const Answer& o) const
{
    return std::tie(tour, level, questId, qvar) == std::tie(o.tour, o.level, o.questId, o.qvar);
}

QList<GameRows::Answer> GameRows::answers() const
{
    QList<Answer> list;
    QSqlQuery q(TestServer::admin(db_, QStringLiteral("gamerows")));
    if (!q.exec(QStringLiteral("SELECT g.QuestID, g.QVar, g.QTur, IFNULL(q.qlevel, 0) FROM Sor_Games g "
                               "LEFT JOIN Sor_questions q ON q.Id = g.QuestID WHERE g.SorUserID=%1")
                    .arg(user_))) {
        qWarning() << "GameRows:" << q.lastError().text();
        return list;
    }
    while (q.next())
        list.append({q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt(), q.value(3).toInt()});
    std::sort(list.begin(), list.end());
    return list;
}

int GameRows::answerCount(int tour) const
{
    QString sql = QStringLiteral("SELECT COUNT(*) FROM Sor_Games WHERE SorUserID=%1").arg(user_);
    if (tour)
        sql += QStringLiteral(" AND QTur=%1").arg(tour);
    return value(sql).toInt();
}

QList<int> GameRows::questionsOfLevel(int level) const
{
    QList<int> ids;
    QSqlQuery q(TestServer::admin(db_, QStringLiteral("gamerows")));
    if (q.exec(QStringLiteral("SELECT Id FROM Sor_questions WHERE qlevel=%1 ORDER BY Id").arg(level)))
        while (q.next())
            ids << q.value(0).toInt();
    return ids;
}

void setServerClock(sor::TDbConnection& connection, int seconds)
{
    sor::TDbQuery q(connection, QStringLiteral("clock"));
    q.addLine(QStringLiteral("SET timestamp = UNIX_TIMESTAMP('%1') + %2").arg(GameRows::kT0).arg(seconds));
    q.execute();
}

}  // namespace sortest
