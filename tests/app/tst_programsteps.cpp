// Start-up step 8 and the message loop with the real main window: the loop runs
// while the main window is open and ends when the player closes it, also with
// another window of the program still on screen.

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include "app/ProgramSteps.h"
#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "game/MainWindow.h"
#include "game/StartPrompt.h"
#include "platform/Process.h"
#include "speech/MessageDlg.h"
#include "support/LoginRig.h"
#include "support/MessageRecorder.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"

using sortest::TestServer;

class TestProgramSteps : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(TestServer::ownDatabase()));
    }

    void loopRunsUntilTheMainWindowCloses()
    {
        sortest::SpeechRig rig;
        TDataModule1 dm(TestServer::clientParams(TestServer::ownDatabase()));
        dm.UniConnection1.open();
        QVERIFY(sortest::logIn(dm));
        sortest::MessageRecorder messages;
        messages.answers = {sor::mrNo, sor::mrYes};

        QWidget another;  // a window of the program that stays open
        another.show();
        int hooks = 0;
        sor::addProgramEndHook([&] { ++hooks; });

        // A new player is offered a game as soon as the window opens: take it
        // with Enter, as a player would, before closing the window.
        bool promptTaken = false;
        QTimer player;
        connect(&player, &QTimer::timeout, [&] {
            if (!promptTaken && frStartGameBt && frStartGameBt->isVisible()) {
                promptTaken = true;
                QTest::keyClick(frStartGameBt->Button1, Qt::Key_Return);
            }
        });
        player.start(20);

        sor::ProgramSteps steps(*qApp);
        steps.createMainWindow();
        QVERIFY(frMain);
        QVERIFY(frMain->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(promptTaken && !frStartGameBt, 10000);
        QTRY_COMPARE(frMain->lblQuestNum->text(), QString("Вопрос №1"));

        bool openAfterNo = false;
        QTimer::singleShot(100, [&] {
            frMain->close();  // "Нет"
            openAfterNo = frMain->isVisible();
            QTimer::singleShot(100, [] { frMain->close(); });  // "Да"
        });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, qApp, &QCoreApplication::quit);
        guard.start(30000);
        QCOMPARE(steps.runMessageLoop(), 0);
        QVERIFY2(guard.isActive(), "the loop did not end with the main window");
        QVERIFY(openAfterNo);
        QCOMPARE(messages.messages.size(), 2);
        QCOMPARE(messages.messages.at(1).text, QString("Закрыть прогграмму?"));
        QVERIFY(!frMain->isVisible());
        QCOMPARE(hooks, 1);
    }
};

QTEST_MAIN(TestProgramSteps)
#include "tst_programsteps.moc"
