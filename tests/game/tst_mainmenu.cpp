// The main window's own menu walked by a keyboard player: every menu down and
// up, the bar right and left, opened with F10, with a lone Alt and with the
// mouse; each item the highlight lands on is heard once. Built twice: on the
// offscreen platform, and under Xvfb (SOR_EXPECT_XCB) with the keys and the
// click typed for real by xdotool.

#include <QApplication>
#include <QMenuBar>
#include <QTest>

#include <memory>

#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "game/MainWindow.h"
#include "support/LoginRig.h"
#include "support/MenuWalk.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"
#include "support/XInput.h"

using sortest::onX;
using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();

// A game in the middle of a tour (the stored status is gRunning, which
// activation resumes); answers are not played here.
class ResumedGame : public sor::TGame
{
public:
    explicit ResumedGame(sor::TGameView& view) : TGame(view)
    {
        FStGame = gRunning;
        bNoQuestionYet = false;
    }
    void GameStep(const QString&) override {}
};

}  // namespace

class TestMainMenu : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::SpeechRig> rig;
    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<TfrMain> w;

private slots:
    void initTestCase()
    {
#ifdef SOR_EXPECT_XCB
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
#else
        QVERIFY(!onX());
#endif
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
    }

    void init()
    {
        sor::resetSessionContext();
        rig = std::make_unique<sortest::SpeechRig>();
        dm = sortest::loggedInModule(kDb);
        QVERIFY(dm);
        QVERIFY(TestServer::adminExec(
            kDb, QStringLiteral("UPDATE Sor_users SET GameStatus=2 WHERE UserID=%1").arg(CurrentUserID)));
        w = std::make_unique<TfrMain>(nullptr, [](sor::TGameView& v) { return std::make_unique<ResumedGame>(v); });
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        if (!onX())
            w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTRY_COMPARE(w->activations(), 1);
    }

    void cleanup()
    {
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        w.reset();
        dm.reset();
        rig.reset();
    }

    void everyMenuBothWays_data() { sortest::MenuWalk::addOpenerRows(); }
    void everyMenuBothWays()
    {
        QFETCH(QString, opener);
        sortest::MenuWalk(w->MainMenu1, *rig).walkOpenedBy(opener);
    }
};

QTEST_MAIN(TestMainMenu)
#include "tst_mainmenu.moc"
