// What the main game window costs: creating it (layout, menu, hot keys and the
// player's status row from the server), its first activation, a resize, a full
// repaint at design size and widened, and the memory the program holds then.
//
//   QT_QPA_PLATFORM=offscreen bench_mainwindow [rounds]      (or under xvfb-run)
//
// Starts a game server of its own in a temporary folder and stops it at the end.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMenuBar>
#include <QPixmap>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchKit.h"
#include "data/DataModule.h"
#include "game/MainWindow.h"
#include "support/LoginRig.h"
#include "support/MessageRecorder.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"

namespace {

using benchkit::Figures;
using benchkit::ms;
using benchkit::residentKb;

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 20;

    benchkit::BenchServer server;
    if (!server.start())
        return 1;
    const sortest::ClientParams p = server.clientParams();

    sortest::MessageRecorder quiet;
    sortest::SpeechRig rig;
    TDataModule1 dm(p);
    dm.UniConnection1.open();
    if (!sortest::logIn(dm)) {
        std::fprintf(stderr, "the demo player could not log in\n");
        return 1;
    }
    const long rssBefore = residentKb();

    Figures create, activate, resize, paintDesign, paintWide;
    long rssWindow = 0;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        auto w = std::make_unique<TfrMain>();
        create.add(ms(t));

        t.restart();
        w->show();
        while (w->activations() < 1)
            QCoreApplication::processEvents();
        activate.add(ms(t));

        w->setQuestionCaption(QStringLiteral("Какой город является столицей Австралии?"));
        for (int n = 1; n <= 4; ++n)
            w->setAnswerCaption(n, QStringLiteral("%1: Вариант ответа номер %1").arg(n));

        const int menu = w->MainMenu1->height();
        t.restart();
        w->resize(1200, 700 + menu);
        QCoreApplication::processEvents();
        resize.add(ms(t));
        t.restart();
        (void)w->grab();
        paintWide.add(ms(t));

        w->resize(837, 486 + menu);
        QCoreApplication::processEvents();
        t.restart();
        (void)w->grab();
        paintDesign.add(ms(t));
        rssWindow = residentKb();
    }

    std::printf("%d rounds, milliseconds, platform %s\n\n", rounds, qPrintable(QGuiApplication::platformName()));
    std::printf("%-52s %8s %8s\n", "", "p50", "p95");
    const auto row = [](const char* what, Figures& f) { std::printf("%-52s %8.2f %8.2f\n", what, f.pct(0.5), f.pct(0.95)); };
    row("create (layout, menu, hot keys, status row)", create);
    row("show until the first activation has run", activate);
    row("resize to 1200 x 700 (placing every panel)", resize);
    row("full repaint at 1200 x 700", paintWide);
    row("full repaint at 837 x 486", paintDesign);
    std::printf("\nresident memory: %ld kB before the window, %ld kB with it (last round)\n", rssBefore, rssWindow);
    return 0;
}
