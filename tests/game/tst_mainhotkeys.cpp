// The main window's system-wide hot keys: the digits 1 to 4 choose the answer
// on their panel, Ctrl+Space stops the speech. Under a real X server (Xvfb) the
// keys are typed with xdotool while another program has the focus; on the
// offscreen platform they are application-wide shortcuts, typed into another
// window of the program. Built twice: with SOR_EXPECT_XCB it must run on X.

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <memory>

#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "game/MainControls.h"
#include "game/MainWindow.h"
#include "platform/GlobalHotKeys.h"
#include "speech/SpeechRoutines.h"
#include "support/LoginRig.h"
#include "support/MessageRecorder.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"
#include "support/XInput.h"

using sortest::onX;
using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();

// Another window of the program, which notes the keys it gets. (Not a text
// edit: without X an edit keeps typed digits from the program's shortcuts.)
class KeyWindow : public QWidget
{
public:
    QString typed;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        typed += e->text();
        QWidget::keyPressEvent(e);
    }
};

// A game in the middle of a tour with a question on screen (the stored status
// is gRunning, which activation resumes). The answers that reach its step are
// recorded instead of played.
class RecordingGame : public sor::TGame
{
public:
    explicit RecordingGame(sor::TGameView& view) : TGame(view)
    {
        FStGame = gRunning;
        bNoQuestionYet = false;
    }
    void GameStep(const QString& sAnswer) override { steps << sAnswer; }
    void setState(TStatusGame s) { FStGame = s; }
    QStringList steps;
};

}  // namespace

class TestMainHotKeys : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::SpeechRig> rig;
    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<TfrMain> w;
    std::unique_ptr<KeyWindow> other;  // another window of the program
    RecordingGame* game = nullptr;

    void press(const QStringList& keys)
    {
        if (onX()) {
            sortest::typeKeys(keys);
            return;
        }
        // Without X the keys are shortcuts of the program: typed into its other window.
        for (const QString& k : keys) {
            const QKeySequence seq(k == "ctrl+space" ? QString("Ctrl+Space") : k);
            QTest::keyClick(other.get(), Qt::Key(seq[0].key()), seq[0].keyboardModifiers());
        }
    }

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

        w = std::make_unique<TfrMain>(nullptr, [this](sor::TGameView& v) {
            auto g = std::make_unique<RecordingGame>(v);
            game = g.get();
            return g;
        });
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTRY_COMPARE(w->activations(), 1);
        QCOMPARE(w->game().StGame(), gRunning);
        const QStringList captions = {"1: Альфа", "2: Бета", "3: Гамма", "4: 3: Дельта"};
        for (int n = 1; n <= 4; ++n)
            w->setAnswerCaption(n, captions[n - 1]);
        game->steps.clear();

        other = std::make_unique<KeyWindow>();
        other->resize(200, 100);
        other->setWindowTitle("another window");
        other->move(0, 600);
        other->show();
        QVERIFY(QTest::qWaitForWindowExposed(other.get()));
        other->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(other.get()));
        rig->clear();
    }

    void cleanup()
    {
        other.reset();
        w.reset();
        game = nullptr;
        dm.reset();
        rig.reset();
    }

    void registered()
    {
        QCOMPARE(w->HotKeys->backend(),
                 onX() ? sor::GlobalHotKeys::Backend::X11 : sor::GlobalHotKeys::Backend::Shortcuts);
        for (int id : sor::GlobalHotKeys::allIds())
            QVERIFY(w->HotKeys->isRegistered(id));
    }

    // Each digit chooses its own panel's answer, from its caption without the
    // "N: " prefix, while another window has the focus.
    void digitsChooseTheirPanel()
    {
        press({"1", "2", "3", "4", "2"});
        QTRY_COMPARE_WITH_TIMEOUT(game->steps, QStringList({"Альфа", "Бета", "Гамма", "3: Дельта", "Бета"}), 10000);
        QTest::qWait(100);
        QCOMPARE(other->typed, QString());
    }

    // While another program has the focus, too; it does not see the digits.
    void digitsFromAnotherProgram()
    {
        if (!onX())
            QSKIP("another program's focus needs an X server");
        sortest::OtherXClient x;
        QVERIFY(x.ok());
        x.focusOwnWindow(900);
        QTRY_VERIFY_WITH_TIMEOUT(x.hasFocus(), 5000);
        press({"3", "1"});
        QTRY_COMPARE_WITH_TIMEOUT(game->steps, QStringList({"Гамма", "Альфа"}), 10000);
        QTest::qWait(100);
        QVERIFY(x.keyPresses().isEmpty());
    }

    void ctrlSpaceStopsTheSpeech()
    {
        SpeechOut(QStringLiteral("Вопрос №3"), false);
        SpeechOut(QStringLiteral("Варианты ответов. "), false);
        press({"ctrl+space"});
        QTRY_COMPARE_WITH_TIMEOUT(rig->heard(), QStringList({"Вопрос №3", "Варианты ответов. ", "!"}), 10000);
        QVERIFY(game->steps.isEmpty());
    }

    // Outside a running game the digits do nothing.
    void digitsOutsideAGameDoNothing()
    {
        game->setState(gStart);
        rig->clear();
        // Ctrl+Space after the digits: once its stop is heard, the digits before
        // it have been dealt with too.
        press({"1", "4", "ctrl+space"});
        QTRY_COMPARE_WITH_TIMEOUT(rig->heard(), QStringList{"!"}, 10000);
        QVERIFY(game->steps.isEmpty());
        QCOMPARE(other->typed, QString());
    }

    // After the window has closed the keys belong to the desktop again.
    void closedWindowGivesTheKeysBack()
    {
        sortest::MessageRecorder messages;
        messages.answers = {6};  // "Да" to "Закрыть прогграмму?"
        QVERIFY(w->close());
        QCOMPARE(w->HotKeys->backend(), sor::GlobalHotKeys::Backend::None);
        other->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(other.get()));
        press({"1", "2"});
        QTRY_COMPARE_WITH_TIMEOUT(other->typed, QString("12"), 10000);
        QVERIFY(game->steps.isEmpty());
    }
};

QTEST_MAIN(TestMainHotKeys)
#include "tst_mainhotkeys.moc"
