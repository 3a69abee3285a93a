// What a login and a restore mail cost, and how long the windows go without
// their event loop while a mail goes out.
//
//   bench_accounts [logins] [mails]
//
// Starts a game server and a mail peer of its own and stops them at the end.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "accounts/LoginProcedure.h"
#include "accounts/MailSender.h"
#include "accounts/PasswordRestore.h"
#include "BenchKit.h"
#include "data/DataModule.h"
#include "support/MessageRecorder.h"
#include "support/SmtpPeer.h"
#include "support/TestServer.h"

namespace {

struct Spread
{
    double median, p95, max;
};

Spread spread(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 95 / 100)], v.back()};
}

// Sends once while a 5 ms timer runs on this thread; returns the wall time of
// the send and the longest gap between two ticks (the longest the windows
// would have gone without painting).
std::pair<double, double> sendWatched(sor::MailSender& sender, const sor::MailMessage& m)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start(5);
    last = clock.nsecsElapsed();
    sender.send(m);
    const double took = clock.nsecsElapsed() / 1e6;
    longest = std::max(longest, clock.nsecsElapsed() - last);
    return {took, longest / 1e6};
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int logins = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    const int mails = argc > 2 ? std::max(5, std::atoi(argv[2])) : 50;

    benchkit::BenchServer server;
    if (!server.start())
        return 1;
    sortest::SmtpPeer peer;
    if (!peer.start()) {
        std::fprintf(stderr, "the mail peer did not start: %s\n", qPrintable(peer.error()));
        return 1;
    }
    const sortest::ClientParams p = server.clientParams();
    sortest::MessageRecorder quiet;
    TDataModule1 dm(p);
    dm.UniConnection1.open();

    std::printf("loopback, a private game server and mail peer; milliseconds\n\n");
    std::printf("%-52s %8s %8s %8s\n", "", "median", "p95", "max");

    {  // the login procedure: 4 reads, 2 write transactions
        const QString hash = sor::md5(QStringLiteral("sorventa"));
        std::vector<double> ms;
        for (int i = 0; i < logins + 10; ++i) {
            QElapsedTimer t;
            t.start();
            sor::fLoginQuery(dm, QStringLiteral("demo@tavrek.example"), hash);
            if (i >= 10)
                ms.push_back(t.nsecsElapsed() / 1e6);
        }
        const Spread s = spread(ms);
        std::printf("%-52s %8.2f %8.2f %8.2f\n", "login procedure (fLoginQuery)", s.median, s.p95, s.max);
    }

    sor::SmtpMailSender sender(peer.clientSettings());
    const sor::MailMessage m = sor::restoreMail(QStringLiteral("player@tavrek.example"), sor::makeRestoreCode(),
                                                sender.senderAddress());
    {  // a restore mail through AUTH LOGIN, and the event loop meanwhile
        std::vector<double> took, gap;
        for (int i = 0; i < mails; ++i) {
            const auto [t, g] = sendWatched(sender, m);
            took.push_back(t);
            gap.push_back(g);
        }
        const Spread t = spread(took);
        const Spread g = spread(gap);
        std::printf("%-52s %8.2f %8.2f %8.2f\n", "restore mail sent (connect, AUTH LOGIN, DATA, QUIT)", t.median,
                    t.p95, t.max);
        std::printf("%-52s %8.2f %8.2f %8.2f\n", "  longest event-loop gap meanwhile (5 ms timer)", g.median, g.p95,
                    g.max);
    }
    {  // a server that never answers: the whole wait, and the loop meanwhile
        QTcpServer silent;
        silent.listen(QHostAddress::LocalHost);
        sor::SmtpSettings s = peer.clientSettings();
        s.port = silent.serverPort();
        s.responseTimeoutS = 2;
        s.totalTimeoutMs = 4000;
        sor::SmtpMailSender stalled(s);
        const auto [t, g] = sendWatched(stalled, m);
        std::printf("%-52s %8.0f\n", "silent mail server: send given up after (2 s limits)", t);
        std::printf("%-52s %8.2f\n", "  longest event-loop gap meanwhile (5 ms timer)", g);
    }
    std::printf("\nmessages saved by the peer: %lld\n", qlonglong(peer.messageFiles().size()));
    return 0;
}
