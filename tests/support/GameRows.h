#pragma once
// The player's game on the test server, read and set behind the client's back:
// answer rows, tour stamps, the stored status, the tour lengths, and the server
// clock of the client's own connection.
//
//   sortest::GameRows rows(kDb, CurrentUserID);
//   rows.reset();                                  // no answers, no stamps, status 0, tours of 600 s
//   rows.addAnswers(1, 21, 3);                     // tour 1 full, its first three answers wrong
//   rows.setStamp("Time_lvl1", GameRows::at(-900));
//   rows.setStamp("Time_lvl1_end", GameRows::at(-400));
//   sortest::setServerClock(dm.UniConnection1, 0); // NOW() of the client reads kT0 from now on
//
// Times are written relative to the fixed moment kT0; a test that fixes the
// client's clock there gets exact figures for everything the client computes
// from the server's clock.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

namespace sor {
class TDbConnection;
}

namespace sortest {

class GameRows
{
public:
    GameRows(QString database, qint64 userId);

    static inline const QString kT0 = QStringLiteral("2031-03-14 12:00:00");
    // The SQL value kT0 + seconds (seconds may be negative).
    static QString at(int seconds);
    static QDateTime atTime(int seconds);
    static QString startField(int tour);
    static QString endField(int tour);

    bool exec(const QString& sql) const;      // warns on failure
    QVariant value(const QString& sql) const; // first column of the first row

    // No answer rows of anybody, no stamps, the status, tours of 600 s each.
    void reset(int status = 0) const;
    void setTourLengths(int l1, int l2, int l3) const;
    void setStatus(int status) const;
    int status() const;

    // Answer rows of the player in `tour` for the questions of levels 1..answers
    // (a question of each level, a different one for each tour); the first
    // `wrong` of them are wrong (QVar 1), the rest right (QVar 4).
    void addAnswers(int tour, int answers, int wrong = 0) const;
    // `count` answer rows for question `questId`, one of each of the other
    // players otherUser, otherUser + 1, ...
    void addOthersAnswers(int questId, int count, qint64 otherUser = 900001) const;

    // A stamp: an SQL value (at(..), or "'0000-00-00 00:00:00'"); reading gives
    // an invalid date-time when not set.
    void setStamp(const QString& field, const QString& sqlValue) const;
    QDateTime stamp(const QString& field) const;

    struct Answer
    {
        int questId = 0;
        int qvar = 0;
        int tour = 0;
        int level = 0;  // of the question
        bool operator<(const Answer& o) const;
        bool operator==(const Answer& o) const;
    };
    // The player's answer rows, sorted.
    QList<Answer> answers() const;
    int answerCount(int tour = 0) const;  // 0: all tours

    // The ids of the questions of a level.
    QList<int> questionsOfLevel(int level) const;

private:
    QString db_;
    qint64 user_;
};

// Fixes NOW() of a client connection at kT0 + seconds, until it is set again.
void setServerClock(sor::TDbConnection& connection, int seconds);

}  // namespace sortest
