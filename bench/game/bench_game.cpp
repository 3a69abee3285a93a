// What the game costs against a server of realistic size: 10,000 questions
// and 1,000,000 answer rows of other players.
//
//   bench_game [idle seconds, default 60] [steps, default 300]
//
// Prints, in milliseconds, p50 and p95 of
//   - one game step beyond the one-second hold (an answer chosen until the next
//     question is on the panels: session check, the answer row, the tour check,
//     the count, the draw, the shuffle), and of the draw alone,
// each next to the sum of the bare round trips it needs (the same statements
// through a bare QSqlQuery, prepared once, every field read);
// then the CPU the client uses while a tour runs idle in the main window, and
// its resident memory. Starts a game server of its own in a temporary folder
// (the data are made there with INSERT ... SELECT) and stops it at the end.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "BenchKit.h"
#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "game/GameCore.h"
#include "game/MainWindow.h"
#include "support/GameViewRig.h"
#include "support/LoginRig.h"
#include "support/MessageRecorder.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"

namespace {

using benchkit::cpuSeconds;
using benchkit::exec;
using benchkit::Figures;
using benchkit::ms;
using benchkit::residentKb;

// The game with its draw within reach.
class Game : public sor::TGame
{
public:
    using TGame::TGame;
    using TGame::LoadQuestion;
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const int steps = argc > 2 ? std::max(20, std::atoi(argv[2])) : 300;

    benchkit::BenchServer server;
    if (!server.start())
        return 1;
    const sortest::ClientParams p = server.clientParams();

    // The data: questions up to 10,000 in all, a hundred other players'
    // answers to each of them.
    QElapsedTimer fill;
    fill.start();
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), QStringLiteral("admin"));
        admin.setHostName(QStringLiteral("localhost"));
        admin.setUserName(QStringLiteral("root"));
        admin.setDatabaseName(p.database);
        admin.setConnectOptions(QStringLiteral("UNIX_SOCKET=") + server.dir() + QStringLiteral("/mariadbd.sock"));
        if (!admin.open()) {
            std::fprintf(stderr, "no admin connection: %s\n", qPrintable(admin.lastError().text()));
            return 1;
        }
        QSqlQuery count(admin);
        count.exec(QStringLiteral("SELECT COUNT(*) FROM Sor_questions"));
        count.next();
        const int more = 10000 - count.value(0).toInt();
        const bool ok =
            exec(admin, QStringLiteral("INSERT INTO Sor_questions (Question, var1, var2, var3, var4, qlevel) "
                                       "SELECT CONCAT('Вопрос номер ', seq, ': какое из чисел больше всех остальных "
                                       "и делится на ', 1 + seq % 9, '?'), CONCAT('Число ', seq), "
                                       "CONCAT('Число ', seq + 1), CONCAT('Число ', seq + 2), CONCAT('Число ', seq + 3), "
                                       "1 + seq % 21 FROM seq_1_to_%1")
                               .arg(more)) &&
            exec(admin, QStringLiteral("INSERT INTO Sor_Games (QuestID, QVar, QTur, SorUserID) "
                                       "SELECT q.Id, 1 + (q.Id + s.seq) % 4, 1 + s.seq % 3, "
                                       "100000 + (s.seq * 10007 + q.Id) % 50000 "
                                       "FROM seq_1_to_100 s CROSS JOIN Sor_questions q")) &&
            exec(admin, QStringLiteral("ANALYZE TABLE Sor_questions, Sor_Games")) &&
            // The tour is long enough for the idle minute.
            exec(admin, QStringLiteral("UPDATE Sor_setttings SET level1=3600, level2=3600, level3=3600"));
        if (!ok)
            return 1;
        count.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM Sor_questions), (SELECT COUNT(*) FROM Sor_Games)"));
        count.next();
        std::printf("game server: %d questions, %d answer rows of other players (made in %.1f s)\n",
                    count.value(0).toInt(), count.value(1).toInt(), ms(fill) / 1000);
    }

    sortest::MessageRecorder quiet;
    sortest::SpeechRig rig;
    TDataModule1 dm(p);
    dm.UniConnection1.open();
    if (!sortest::logIn(dm)) {
        std::fprintf(stderr, "the demo player could not log in\n");
        return 1;
    }
    const long rssLoggedIn = residentKb();

    // ---- one step beyond the hold, and the draw --------------------------------
    Figures step, draw;
    {
        sortest::GameViewRig view;
        view.holdSeconds = 0;
        Game game(view);
        game.OpenStatusRow();
        game.EnterStoredState();  // the start prompt confirmed: the first question is on
        if (game.StGame() != gRunning || game.NoQuestionYet()) {
            std::fprintf(stderr, "the game did not start\n");
            return 1;
        }
        for (int i = 0; i < steps + 10; ++i) {
            if (game.QuestNum() >= 21) {
                // Keep to the first tour: its answers go, and the tour goes on.
                sor::TDbQuery& q = dm.QueryQuery;
                q.setSql({QStringLiteral("DELETE FROM Sor_Games WHERE SorUserID=:SorUserID")});
                q.bindLargeInt(QStringLiteral("SorUserID"), CurrentUserID);
                dm.UniConnection1.execInTransaction(q);
                game.GameStep(QString());
            }
            int right = 1;
            for (int n = 1; n <= 4; ++n)
                if (view.answer[n].mid(3) == game.CurrentQuestion().sVar4)
                    right = n;
            const QString caption = view.answer[i % 3 ? right : right % 4 + 1];
            QElapsedTimer t;
            t.start();
            game.ChooseAnswer(caption);
            if (i >= 10)  // warmed up
                step.add(ms(t));
            if (i % 50 == 0)
                rig.clear();
            view.events.clear();
        }
        for (int i = 0; i < steps + 10; ++i) {
            QElapsedTimer t;
            t.start();
            game.LoadQuestion(i % 21 + 1);
            if (i >= 10)
                draw.add(ms(t));
        }
    }

    // ---- the same statements, bare -----------------------------------------------
    Figures bareStep, bareDraw;
    {
        QSqlDatabase bare;
        if (!benchkit::openBare(bare, p, QStringLiteral("bare")))
            return 1;
        const auto readAll = [](QSqlQuery& q) {
            QVariant sink;
            const int columns = q.record().count();
            while (q.next())
                for (int c = 0; c < columns; ++c)
                    sink = q.value(c);
        };
        QSqlQuery session(bare), row(bare), insert(bare), count(bare), candidates(bare);
        session.prepare(QStringLiteral("SELECT * \nFROM Sor_users\nWHERE Session=:Session"));
        row.prepare(QStringLiteral("SELECT * \nFROM Sor_users\nWHERE UserID=:UserID"));
        insert.prepare(QStringLiteral("INSERT INTO Sor_Games\n (QuestID, QVar, QTur, SorUserID)\n"
                                      "VALUES (:QuestID, :QVar, :QTur, :SorUserID)"));
        count.prepare(QStringLiteral("SELECT Sor_Games.* FROM Sor_Games INNER JOIN Sor_questions ON "
                                     "Sor_Games.QuestID=Sor_questions.Id WHERE (Sor_Games.QTur=1)AND"
                                     "(Sor_Games.SorUserID=:SorUserID)"));
        candidates.prepare(QStringLiteral(
            "SELECT Sor_questions.* FROM Sor_questions WHERE (NOT EXISTS (SELECT 1 FROM Sor_Games WHERE "
            "(Sor_Games.QuestID = Sor_questions.Id) AND (Sor_Games.SorUserID=:SorUserID))) AND qlevel=:lvl"));
        const qint64 other = 900001;  // a player of the bench's own
        const auto drawOnce = [&](int lvl) {
            candidates.bindValue(QStringLiteral(":SorUserID"), other);
            candidates.bindValue(QStringLiteral(":lvl"), lvl);
            candidates.exec();
            readAll(candidates);
        };
        for (int i = 0; i < steps + 10; ++i) {
            QElapsedTimer t;
            t.start();
            session.bindValue(QStringLiteral(":Session"), SessionGUID);
            session.exec();
            readAll(session);
            row.bindValue(QStringLiteral(":UserID"), CurrentUserID);
            row.exec();
            readAll(row);
            bare.transaction();
            insert.bindValue(QStringLiteral(":QuestID"), 1);
            insert.bindValue(QStringLiteral(":QVar"), 4);
            insert.bindValue(QStringLiteral(":QTur"), 1);
            insert.bindValue(QStringLiteral(":SorUserID"), other);
            insert.exec();
            bare.commit();
            for (int c = 0; c < 2; ++c) {  // the tour check, then the question number
                count.bindValue(QStringLiteral(":SorUserID"), other);
                count.exec();
                readAll(count);
            }
            drawOnce(i % 20 + 1);
            if (i >= 10)
                bareStep.add(ms(t));
            if (i % 20 == 19)
                QSqlQuery(bare).exec(QStringLiteral("DELETE FROM Sor_Games WHERE SorUserID=900001"));
        }
        for (int i = 0; i < steps + 10; ++i) {
            QElapsedTimer t;
            t.start();
            drawOnce(i % 21 + 1);
            if (i >= 10)
                bareDraw.add(ms(t));
        }
        QSqlQuery(bare).exec(QStringLiteral("DELETE FROM Sor_Games WHERE SorUserID=900001"));
    }

    std::printf("\n%d runs each, milliseconds, loopback, compression on\n", steps);
    std::printf("%-44s %8s %8s %12s %12s\n", "", "p50", "p95", "bare p50", "p95 / bare");
    const double bStep = bareStep.pct(0.5);
    const double bDraw = bareDraw.pct(0.5);
    std::printf("%-44s %8.2f %8.2f %12.2f %11.1fx\n", "game step beyond the hold (8 round trips)", step.pct(0.5),
                step.pct(0.95), bStep, step.pct(0.95) / bStep);
    std::printf("%-44s %8.2f %8.2f %12.2f %11.1fx\n", "the draw (~476 candidates of a level)", draw.pct(0.5),
                draw.pct(0.95), bDraw, draw.pct(0.95) / bDraw);
    std::printf("%-44s %8s %8s %12.2f\n", "  bare step p95", "", "", bareStep.pct(0.95));
    std::printf("target: p95 within 5x the bare round trips\n");

    // ---- a tour running idle in the main window --------------------------------------
    long rssWindow = 0;
    {
        TfrMain w;
        w.show();
        while (w.activations() < 1 || w.game().StepUnderWay() || w.game().NoQuestionYet())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (!w.game().MTimerEnabled()) {
            std::fprintf(stderr, "the tour clock does not run\n");
            return 1;
        }
        const QString ledBefore = w.ledCaption();
        QEventLoop loop;
        QTimer::singleShot(idleSeconds * 1000, &loop, &QEventLoop::quit);
        const double cpu0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        loop.exec();
        const double cpu = cpuSeconds() - cpu0;
        const double seconds = ms(wall) / 1000;
        rssWindow = residentKb();
        std::printf("\ntour running idle in the main window for %.0f s (clock %s -> %s):\n", seconds,
                    qPrintable(ledBefore), qPrintable(w.ledCaption()));
        std::printf("  client CPU %.3f s = %.3f %% of a core (target under 0.5 %%)\n", cpu, 100.0 * cpu / seconds);
    }

    std::printf("\nresident memory: %ld kB logged in, %ld kB with the main window in a tour\n", rssLoggedIn,
                rssWindow);
    if (!quiet.messages.isEmpty())
        std::printf("unexpected messages: %lld (first: %s)\n", qlonglong(quiet.messages.size()),
                    qPrintable(quiet.messages.first().text));
    return 0;
}
