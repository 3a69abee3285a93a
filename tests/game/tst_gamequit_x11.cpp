// Quitting the game on a player's desktop (Xvfb with openbox): the digit typed
// with xdotool, Alt+F4 pressed during the hold after the tour's 21st answer and
// "Да" to the close question. Nothing of the next tour is started; the next
// start offers its prompt.

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <memory>

#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "game/MainWindow.h"
#include "platform/GlobalHotKeys.h"
#include "platform/Hold.h"
#include "speech/MessageDlg.h"
#include "support/Desktop.h"
#include "support/GameRows.h"
#include "support/LoginRig.h"
#include "support/MessageRecorder.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"
#include "support/XInput.h"

using sortest::GameRows;
using sortest::TestServer;

namespace {
const QString kDb = TestServer::ownDatabase();
}  // namespace

class TestGameQuitX11 : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::SpeechRig> rig;
    std::unique_ptr<sortest::MessageRecorder> messages;
    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<GameRows> rows;
    std::unique_ptr<TfrMain> w;
    QStringList prompts;

    // The main window, shown and activated by the window manager; the game
    // resumed. A prompt gives 0 once the window has closed, as in the program
    // that is quitting.
    void openWindow()
    {
        w = std::make_unique<TfrMain>();
        prompts.clear();
        w->StartPromptHook = [this](const QString& caption) {
            prompts << caption;
            return w->isVisible() ? int(sor::mrOk) : 0;
        };
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        sortest::activateThroughWm(w->winId());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTRY_COMPARE(w->activations(), 1);
        QTRY_VERIFY(!w->game().StepUnderWay());
    }

    int rightPanel() const
    {
        for (int n = 1; n <= 4; ++n)
            if (w->answerCaption(n).mid(3) == w->game().CurrentQuestion().sVar4)
                return n;
        return 0;
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
    }

    void init()
    {
        sor::resetSessionContext();
        rig = std::make_unique<sortest::SpeechRig>();
        messages = std::make_unique<sortest::MessageRecorder>();
        dm = sortest::loggedInModule(kDb);
        QVERIFY(dm);
        rows = std::make_unique<GameRows>(kDb, CurrentUserID);
        rows->reset();
        sortest::setServerClock(dm->UniConnection1, 0);
    }

    void cleanup()
    {
        w.reset();
        dm.reset();
        messages.reset();
        rig.reset();
    }

    void altF4DuringTheHoldAfterTheTourLastAnswer()
    {
        rows->setStatus(gRunning);
        rows->addAnswers(1, 20);
        rows->setStamp("Time_lvl1", GameRows::at(-100));
        openWindow();
        QCOMPARE(w->lblQuestNum->text(), QString("Вопрос №21"));

        rig->clear();
        messages->answers = {sor::mrYes};
        bool inHold = false;
        int handled = 0;
        connect(w->HotKeys, &sor::GlobalHotKeys::hotKey, this, [&] { ++handled; });
        // Alt+F4 once the hold is under way.
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (inHold || !sor::PauseActive())
                return;
            inHold = true;
            sortest::xdotool({"key", "alt+F4"});
        });
        poll.start(10);
        sortest::typeKeys({QString::number(rightPanel())});
        // The digit's step is over: its hold and whatever followed it.
        QTRY_COMPARE_WITH_TIMEOUT(handled, 1, 20000);
        poll.stop();
        QVERIFY(inHold);
        QVERIFY(!w->isVisible());
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages.first().text, QString("Закрыть прогграмму?"));
        QVERIFY(prompts.isEmpty());
        QCOMPARE(rig->heard(), QStringList({"!Правильно. ", "!"}));
        w.reset();
        QCOMPARE(rows->answerCount(1), 21);
        QCOMPARE(rows->stamp("Time_lvl1_end"), GameRows::atTime(0));
        QVERIFY(!rows->stamp("Time_lvl2").isValid());
        QCOMPARE(rows->status(), int(gRunning));

        openWindow();
        QCOMPARE(prompts, QStringList{"Начать 2-й тур"});
        QCOMPARE(w->lblTur->text(), QString("Тур №2"));
        QCOMPARE(w->lblQuestNum->text(), QString("Вопрос №1"));
    }
};

QTEST_MAIN(TestGameQuitX11)
#include "tst_gamequit_x11.moc"
