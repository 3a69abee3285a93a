// What one statement and one write transaction cost through the data module, next
// to the bare round trip (QSqlQuery directly), on loopback to a private server.
//
//   bench_statements [iterations]
//
// Starts a game server of its own in a temporary folder and stops it at the end.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

#include "BenchKit.h"
#include "data/DataModule.h"
#include "support/MessageRecorder.h"
#include "support/TestServer.h"

namespace {

double threadCpuMicros()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

struct Cost
{
    double wall;  // microseconds per run, round trip included
    double cpu;   // microseconds per run spent by this (the client's) thread
};

Cost costPerRun(int n, const std::function<void()>& once)
{
    for (int i = 0; i < n / 10 + 10; ++i)  // warm up
        once();
    QElapsedTimer t;
    const double cpu0 = threadCpuMicros();
    t.start();
    for (int i = 0; i < n; ++i)
        once();
    return {double(t.nsecsElapsed()) / 1000.0 / n, (threadCpuMicros() - cpu0) / n};
}

// Bare and module in turns, three rounds; the best round of each counts (the
// machine is shared: the best round is the least disturbed one).
void compare(const char* what, int n, const std::function<void()>& bare, const std::function<void()>& module)
{
    Cost b{1e300, 1e300}, m{1e300, 1e300};
    for (int round = 0; round < 3; ++round) {
        const Cost rb = costPerRun(n, bare);
        const Cost rm = costPerRun(n, module);
        b = {std::min(b.wall, rb.wall), std::min(b.cpu, rb.cpu)};
        m = {std::min(m.wall, rm.wall), std::min(m.cpu, rm.cpu)};
    }
    std::printf("%-46s %8.1f %8.1f %8.1f %8.1f %8.1f\n", what, b.wall, m.wall, b.cpu, m.cpu, m.cpu - b.cpu);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::max(100, std::atoi(argv[1])) : 3000;

    // TLS or plain: the bare connections below measure what TLS costs.
    benchkit::BenchServer server({QStringLiteral("--tls"), QStringLiteral("optional")});
    if (!server.start())
        return 1;
    const sortest::ClientParams p = server.clientParams();

    sortest::MessageRecorder quiet;
    TDataModule1 dm(p);
    dm.UniConnection1.open();

    // The bare client, with the same connect options as the module.
    QSqlDatabase bare;
    if (!benchkit::openBare(bare, p, QStringLiteral("bare")))
        return 1;

    std::printf("%d runs each, best of 3 rounds, microseconds per run, loopback, compression on.\n"
                "bare: QSqlQuery prepared once; cpu: time of the client's own thread.\n\n", n);
    std::printf("%-46s %8s %8s %8s %8s %8s\n", "", "wall", "wall", "cpu", "cpu", "cpu");
    std::printf("%-46s %8s %8s %8s %8s %8s\n", "", "bare", "module", "bare", "module", "added");

    {  // the server clock: one row, one column
        QSqlQuery q(bare);
        q.prepare(QStringLiteral("SELECT NOW() as dtsr "));
        QDateTime sink;
        auto b = [&] {
            q.exec();
            q.next();
            sink = q.value(0).toDateTime();
        };
        auto m = [&] {
            dm.QueryClockServer.close();
            dm.QueryClockServer.open();
            sink = dm.QueryClockServer.asDateTime(QStringLiteral("dtsr"));
        };
        compare("SELECT NOW(), reopened as is", n, b, m);
    }

    {  // a connect: the module first asks for the server's greeting on a socket of its own
        QSqlDatabase again;
        if (!benchkit::openBare(again, p, QStringLiteral("again")))
            return 1;
        auto b = [&] {
            again.close();
            again.open();
        };
        auto m = [&] {
            dm.UniConnection1.close();
            dm.UniConnection1.open();
        };
        compare("connect (close, open)", std::max(100, n / 20), b, m);
    }

    const QString candidates = QStringLiteral(
        "SELECT Sor_questions.* FROM Sor_questions LEFT JOIN Sor_Games ON Sor_questions.Id = Sor_Games.QuestID "
        "WHERE ((Sor_Games.QuestID IS NULL)OR (Sor_Games.SorUserID<>:SorUserID)) AND qlevel=:lvl");
    {  // the question draw: statement given afresh, about ten rows of text read
        QSqlQuery q(bare);
        q.prepare(candidates);
        QString sink;
        QVariant field;
        int lvl = 0;
        auto b = [&] {
            q.bindValue(QStringLiteral(":SorUserID"), qint64(1));
            q.bindValue(QStringLiteral(":lvl"), lvl++ % 21 + 1);
            q.exec();
            while (q.next())  // every field, as the module reads them in
                for (int c = 0; c < 7; ++c)
                    field = q.value(c);
            sink = field.toString();
        };
        auto m = [&] {
            dm.QueryQuery.setSql({candidates});
            dm.QueryQuery.bindLargeInt(QStringLiteral("SorUserID"), 1);
            dm.QueryQuery.bindInteger(QStringLiteral("lvl"), lvl++ % 21 + 1);
            dm.QueryQuery.open();
            for (dm.QueryQuery.first(); !dm.QueryQuery.eof(); dm.QueryQuery.next())
                sink = dm.QueryQuery.asString(QStringLiteral("Question"));
        };
        compare("question draw (about 10 rows), statement anew", n, b, m);
    }

    const QStringList insert = {QStringLiteral("INSERT INTO Sor_Games"),
                                QStringLiteral(" (QuestID, QVar, QTur, SorUserID)"),
                                QStringLiteral("VALUES (:QuestID, :QVar, :QTur, :SorUserID)")};
    {  // an answer recorded: a transaction with one INSERT
        QSqlQuery q(bare);
        q.prepare(insert.join(QLatin1Char('\n')));
        auto b = [&] {
            bare.transaction();
            q.bindValue(QStringLiteral(":QuestID"), 1);
            q.bindValue(QStringLiteral(":QVar"), 4);
            q.bindValue(QStringLiteral(":QTur"), 1);
            q.bindValue(QStringLiteral(":SorUserID"), qint64(900001));
            q.exec();
            bare.commit();
        };
        auto m = [&] {
            dm.QueryQuery.setSql(insert);
            dm.QueryQuery.bindInteger(QStringLiteral("QuestID"), 1);
            dm.QueryQuery.bindInteger(QStringLiteral("QVar"), 4);
            dm.QueryQuery.bindInteger(QStringLiteral("QTur"), 1);
            dm.QueryQuery.bindLargeInt(QStringLiteral("SorUserID"), 900002);
            dm.UniConnection1.execInTransaction(dm.QueryQuery);
        };
        compare("write transaction, one INSERT", n, b, m);
    }

    {  // what the kept statements save: a statement prepared for every run
        int i = 0;
        auto b = [&] {
            QSqlQuery q(bare);
            q.prepare(QStringLiteral("SELECT NOW() as dtsr, %1 AS k").arg(i++ % 1000));
            q.exec();
            q.next();
        };
        auto m = [&] {
            dm.QueryQuery.setSql({QStringLiteral("SELECT NOW() as dtsr, %1 AS k").arg(i++ % 1000)});
            dm.QueryQuery.open();
        };
        compare("statement never seen before (prepare each run)", n, b, m);
    }

    {  // what TLS costs: the same bare client in clear and over TLS
        QSqlDatabase clear, tls;
        if (!benchkit::openBare(clear, p, QStringLiteral("clear"), false) ||
            !benchkit::openBare(tls, p, QStringLiteral("tls")))
            return 1;
        std::printf("\nTLS (TLSv1.3, P-256 certificate): bare in clear (left) and bare over TLS (right)\n");
        QSqlQuery qc(clear), qt(tls);
        qc.prepare(QStringLiteral("SELECT NOW() as dtsr "));
        qt.prepare(QStringLiteral("SELECT NOW() as dtsr "));
        compare("SELECT NOW(): clear / TLS", n, [&] { qc.exec(); qc.next(); }, [&] { qt.exec(); qt.next(); });
        QSqlQuery ic(clear), it(tls);
        ic.prepare(insert.join(QLatin1Char('\n')));
        it.prepare(insert.join(QLatin1Char('\n')));
        const auto write = [](QSqlDatabase& db, QSqlQuery& q, qint64 user) {
            db.transaction();
            q.bindValue(QStringLiteral(":QuestID"), 1);
            q.bindValue(QStringLiteral(":QVar"), 4);
            q.bindValue(QStringLiteral(":QTur"), 1);
            q.bindValue(QStringLiteral(":SorUserID"), user);
            q.exec();
            db.commit();
        };
        compare("write transaction: clear / TLS", n, [&] { write(clear, ic, 900003); },
                [&] { write(tls, it, 900004); });
        compare("connect: clear / TLS", std::max(100, n / 20), [&] { clear.close(); clear.open(); },
                [&] { tls.close(); tls.open(); });
        QSqlQuery(clear).exec(QStringLiteral("DELETE FROM Sor_Games WHERE SorUserID IN (900003, 900004)"));
    }

    QSqlQuery cleanup(bare);
    cleanup.exec(QStringLiteral("DELETE FROM Sor_Games WHERE SorUserID IN (900001, 900002)"));
    if (!quiet.messages.isEmpty())
        std::printf("\nunexpected messages: %lld, the first: %s\n", qlonglong(quiet.messages.size()),
                    qPrintable(quiet.messages.first().text));
    return 0;
}
