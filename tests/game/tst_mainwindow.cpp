// The main game window on the offscreen platform, against the test game server:
// its layout at design size and resized, its menu, its activations, closing it,
// the speech settings from its menu, and a taken-over login met at the next answer.

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "data/SessionContext.h"
#include "app/UiServices.h"
#include "data/DataModule.h"
#include "data/ReconnectWindow.h"
#include "game/AlignPanel.h"
#include "game/Artwork.h"
#include "game/MainControls.h"
#include "game/MainWindow.h"
#include "platform/GlobalHotKeys.h"
#include "platform/Process.h"
#include "speech/MessageDlg.h"
#include "speech/SpeechRoutines.h"
#include <QPushButton>
#include "speech/SpeechSettings.h"
#include "speech/SpokenMessageBox.h"
#include "speech/SpeechSettingsWindow.h"
#include "support/ModalGuard.h"
#include "support/GameRows.h"
#include "support/LoginRig.h"
#include "support/MessageRecorder.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"

using sor::TAnswerLook;
using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();

// The logged-in player's rows on the server, read and set behind the client's back.
sortest::GameRows rows()
{
    return sortest::GameRows(kDb, CurrentUserID);
}

int storedStatus()
{
    return rows().status();
}

void setStoredStatus(int v)
{
    rows().setStatus(v);
    QCOMPARE(rows().status(), v);
}

// A game in the middle of a tour with a question on screen (with the stored
// status gRunning, which activation resumes).
class RunningGame : public sor::TGame
{
public:
    explicit RunningGame(sor::TGameView& view) : TGame(view)
    {
        FStGame = gRunning;
        bNoQuestionYet = false;
    }
};

// A game that sets nothing up: the window's own behaviour is looked at here,
// not the game's (tst_game and tst_gamewindow play it). The steps it is asked
// for are recorded.
class QuietGame : public sor::TGame
{
public:
    explicit QuietGame(sor::TGameView& view) : TGame(view) {}
    void GameStep(const QString& sAnswer) override { steps << sAnswer; }
    QStringList steps;
};

// A rectangle in the client area's coordinates.
QRect inClient(const TfrMain& w, const QWidget* child)
{
    return QRect(child->mapTo(w.centralWidget(), QPoint(0, 0)), child->size());
}

// Resizes the window so that its client area is `client`.
void setClientSize(TfrMain& w, QSize client)
{
    w.resize(client.width(), client.height() + w.MainMenu1->height());
    QTRY_COMPARE(w.centralWidget()->size(), client);
}

}  // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::SpeechRig> rig;
    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<TfrMain> w;

    QStringList prompts;  // the start prompts the window was asked to show

    void openWindow(TfrMain::GameFactory makeGame = {})
    {
        if (!makeGame)
            makeGame = [](sor::TGameView& v) { return std::make_unique<QuietGame>(v); };
        w = std::make_unique<TfrMain>(nullptr, std::move(makeGame));
        prompts.clear();
        w->StartPromptHook = [this](const QString& caption) {
            prompts << caption;
            return int(sor::mrOk);
        };
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTRY_COMPARE(w->activations(), 1);
    }

    // Checks the layout rules for the window's present size.
    void checkLayout()
    {
        const QSize client = w->centralWidget()->size();
        const int W = client.width();
        const int H = client.height();

        // The top bar: tour label, clock, question number, left to right.
        QCOMPARE(inClient(*w, w->Panel1), QRect(0, 0, W, 56));
        const QRect tur = inClient(*w, w->PanTur);
        const QRect timer = inClient(*w, w->PanTimer);
        const QRect num = inClient(*w, w->Panel5);
        QCOMPARE(tur.left(), 0);
        QCOMPARE(timer.width(), 251);
        QCOMPARE(timer.left(), tur.right() + 1);
        QCOMPARE(num.left(), timer.right() + 1);
        QCOMPARE(num.right(), W - 1);
        QCOMPARE(w->lblTur->geometry(), w->PanTur->rect());
        QCOMPARE(w->lblQuestNum->geometry(), w->Panel5->rect());

        // The game area from the top: pictures, question, strip, answers, strip.
        const QRect game = inClient(*w, w->Panel2);
        QCOMPARE(game, QRect(0, 56, W, H - 56));
        const QRect pictures = inClient(*w, w->Image1);
        const QRect quest = inClient(*w, w->PanQuest);
        const QRect strip = inClient(*w, w->Image4);
        const QRect grid = inClient(*w, w->PanAllAns);
        const QRect bottom = inClient(*w, w->Image7);
        QCOMPARE(pictures, QRect(0, 56, W, H - 56 - 125 - 10 - 102 - 18));
        QCOMPARE(inClient(*w, w->Image3), pictures);
        QCOMPARE(quest, QRect(0, pictures.bottom() + 1, W, 125));
        QCOMPARE(strip, QRect(0, quest.bottom() + 1, W, 10));
        QCOMPARE(grid, QRect(0, strip.bottom() + 1, W, 102));
        QCOMPARE(bottom, QRect(0, grid.bottom() + 1, W, 18));
        QCOMPARE(bottom.bottom(), H - 1);
        QCOMPARE(w->ImageQ->geometry(), w->PanQuest->rect());
        QCOMPARE(w->lblQuestion->geometry(), w->PanQuest->rect());

        // The clock panel is centred over the answer grid (to the half pixel
        // its odd width allows).
        QVERIFY2(qAbs((2 * timer.left() + timer.width()) - (2 * grid.left() + grid.width())) <= 1,
                 qPrintable(QString("clock %1+%2, grid %3").arg(timer.left()).arg(timer.width()).arg(grid.width())));
        const QRect led = inClient(*w, w->RzLEDTimer);
        QCOMPARE(led.size(), QSize(117, 31));
        QVERIFY(qAbs((2 * led.left() + led.width()) - (2 * timer.left() + timer.width())) <= 1);
        QVERIFY(led.top() >= inClient(*w, w->Label1).bottom());
        QVERIFY(led.bottom() <= timer.bottom());

        // Two answer columns of equal width, the left one taking the truncated half.
        const QRect left = inClient(*w, w->PanAnsLeft);
        const QRect right = inClient(*w, w->Panel6);
        QCOMPARE(left, QRect(0, grid.top(), W / 2, 102));
        QCOMPARE(right, QRect(W / 2, grid.top(), W - W / 2, 102));
        for (int n = 1; n <= 4; ++n) {
            const QRect column = n % 2 ? left : right;
            const QRect panel = inClient(*w, w->answerPanel(n));
            const int top = n <= 2 ? grid.top() : grid.top() + 48 + 6;
            QCOMPARE(panel, QRect(column.left(), top, column.width(), 48));
            for (QWidget* child : w->answerPanel(n)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                QCOMPARE(child->geometry(), w->answerPanel(n)->rect());
        }
        QCOMPARE(inClient(*w, w->Image5), QRect(0, grid.top() + 48, W / 2, 6));
        QCOMPARE(inClient(*w, w->Image6), QRect(W / 2, grid.top() + 48, W - W / 2, 6));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
    }

    void init()
    {
        sor::resetSessionContext();
        rig = std::make_unique<sortest::SpeechRig>();
        dm = sortest::loggedInModule(kDb);
        QVERIFY(dm);
        setStoredStatus(gNot);
    }

    void cleanup()
    {
        sor::setHaltHandler(nullptr);
        sor::setMessageDlgImpl(nullptr);
        w.reset();
        dm.reset();
        rig.reset();
    }

    void designSize()
    {
        openWindow();
        QCOMPARE(w->windowTitle(), QString("Интеллектуальная игра \"Sorventa\""));
        QCOMPARE(w->centralWidget()->size(), QSize(837, 486));
        checkLayout();
        // The answer panels at design size: the left column 418, the right 419.
        QCOMPARE(w->PanAnsLeft->width(), 418);
        QCOMPARE(w->Panel6->width(), 419);
        QCOMPARE(w->PanTur->width(), 418 - 125);
    }

    void resized_data()
    {
        QTest::addColumn<QSize>("client");
        QTest::newRow("widened") << QSize(1200, 700);
        QTest::newRow("odd width") << QSize(1001, 486);
        QTest::newRow("narrowed") << QSize(640, 430);
        QTest::newRow("back to design size") << QSize(837, 486);
    }
    void resized()
    {
        QFETCH(QSize, client);
        openWindow();
        setClientSize(*w, client);
        checkLayout();
    }

    // The window does not go below a size at which its panels still fit.
    void narrowedToTheLimit()
    {
        openWindow();
        w->resize(100, 100);
        QTRY_VERIFY(w->centralWidget()->width() >= 600);
        QVERIFY(w->centralWidget()->height() >= 400);
        checkLayout();
        QVERIFY(w->PanTur->width() > 0);
    }

    // Every control carries its name, an accessible name, and the look it starts with.
    void controlsAndLooks()
    {
        openWindow();
        const QStringList names = {
            "Panel1", "PanTur", "lblTur", "PanTimer", "Label1", "RzLEDTimer", "Panel5", "lblQuestNum", "Panel2",
            "Image1", "Image3", "PanQuest", "ImageQ", "lblQuestion", "Image4", "PanAllAns", "PanAnsLeft", "Panel6",
            "Image5", "Image6", "Image7", "panQuest1", "panQuest2", "panQuest3", "panQuest4", "Img1On", "Img1Yes",
            "Img1Off", "Img4On", "Img4Yes", "Img4Off", "lblQuest1", "lblQuest2", "lblQuest3", "lblQuest4"};
        for (const QString& name : names) {
            auto* c = w->findChild<QWidget*>(name);
            QVERIFY2(c, qPrintable(name));
            if (!name.startsWith("lbl"))  // labels carry their (emptied) captions
                QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(name));
        }
        QCOMPARE(w->Label1->text(), QString("Время до конца тура"));
        QCOMPARE(w->RzLEDTimer->caption(), QString("00:00"));
        QCOMPARE(w->lblTur->text(), QString("Тур №"));
        QCOMPARE(w->lblQuestNum->text(), QString("Вопрос №"));
        QCOMPARE(w->lblTur->font().pixelSize(), 17);
        QVERIFY(w->lblTur->font().bold());
        QCOMPARE(w->lblQuestion->font().pixelSize(), 24);
        QVERIFY(!w->lblQuestion->font().bold());
        QCOMPARE(w->lblQuest1->font().pixelSize(), 17);
        QVERIFY(w->lblQuest1->font().bold());
        QCOMPARE(w->lblQuest1->cursor().shape(), Qt::PointingHandCursor);

        // Tags 1, 2, 3 for the Off, On and Yes pictures; Off in front at start.
        QCOMPARE(w->Img2Off->tag(), 1);
        QCOMPARE(w->Img2On->tag(), 2);
        QCOMPARE(w->Img2Yes->tag(), 3);
        QVERIFY(w->Img2Off->isVisible());
        QVERIFY(!w->Img2On->isVisible());
        QVERIFY(!w->Img2Yes->isVisible());
        QCOMPARE(w->lblQuest2->palette().color(QPalette::WindowText), QColor(Qt::white));
    }

    // A look shows its picture alone and gives the label its colour; the mouse
    // highlights an answer and lets it go.
    void answerLooks()
    {
        openWindow();
        struct Case
        {
            TAnswerLook look;
            sor::TImage* shown;
            QColor text;
        };
        const Case cases[] = {{TAnswerLook::On, w->Img3On, QColor(0, 0, 255)},
                              {TAnswerLook::Yes, w->Img3Yes, QColor(91, 6, 128)},
                              {TAnswerLook::Off, w->Img3Off, QColor(Qt::white)}};
        for (const Case& c : cases) {
            w->setAnswerLook(c.look, 3);
            for (sor::TImage* img : {w->Img3On, w->Img3Yes, w->Img3Off})
                QCOMPARE(img->isVisible(), img == c.shown);
            QVERIFY(w->lblQuest3->isVisible());
            QCOMPARE(w->lblQuest3->palette().color(QPalette::WindowText), c.text);
            // The other panels keep their look.
            QVERIFY(w->Img1Off->isVisible());
        }

        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(w->lblQuest4, &enter);
        QVERIFY(w->Img4On->isVisible());
        QVERIFY(!w->Img4Off->isVisible());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(w->lblQuest4, &leave);
        QVERIFY(w->Img4Off->isVisible());
        QVERIFY(!w->Img4On->isVisible());
    }

    // A long question or answer is drawn smaller, inside the curved ends of its
    // picture, rather than cut off; a short one keeps the window's font.
    void longTextsFit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("smaller");
        QTest::newRow("short") << "1: Сидней" << false;
        QTest::newRow("two lines") << "4: Очень длинный вариант ответа, который не помещается в одну строку панели"
                                   << true;
        QTest::newRow("a long word") << "3: Дезоксирибонуклеиновая кислота и рибонуклеиновая кислота" << true;
    }
    void longTextsFit()
    {
        QFETCH(QString, text);
        QFETCH(bool, smaller);
        openWindow();
        for (QSize client : {QSize(837, 486), QSize(640, 430)}) {
            setClientSize(*w, client);
            for (sor::TFitLabel* label : {static_cast<sor::TFitLabel*>(w->lblQuest4), w->lblQuestion}) {
                label->setText(label == w->lblQuestion ? text.repeated(2) : text);
                const QFont f = label->fittedFont();
                const QRect room = label->textRect();
                QVERIFY(room.width() < label->width());  // clear of the curved ends
                const QRect need = QFontMetrics(f).boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, label->text());
                QVERIFY2(room.contains(need), qPrintable(label->objectName()));
                if (label == w->lblQuest4 && client.width() == 837)
                    QCOMPARE(f.pixelSize() < label->font().pixelSize(), smaller);
            }
        }
    }

    // The menu: items, captions and shortcuts in tree order.
    void menu()
    {
        openWindow();
        const auto captions = [](const QList<QAction*>& actions) {
            QStringList list;
            for (const QAction* a : actions)
                list << (a->isSeparator() ? QString("-") : a->objectName() + " " + a->text() + " " +
                                                                 a->shortcut().toString(QKeySequence::PortableText));
            return list;
        };
        QCOMPARE(captions(w->MainMenu1->actions()),
                 QStringList({"N1 Речь  ", "Y1 Настройки ", "N6 Справка ", "N9 Выход "}));
        QCOMPARE(captions(w->N1->actions()), QStringList({"N2SpeechOnOff Включить / Отключить речь Ctrl+Alt+S",
                                                          "N2 Настройки речи... ", "-",
                                                          "N4 Осталось времени Ctrl+T", "G1 Прочитать вопрос Ctrl+Q",
                                                          "N5 Все варианты ответов Ctrl+A",
                                                          "N11 Прочитать ответ №1 Ctrl+F1",
                                                          "N21 Прочитать ответ №2 Ctrl+F2",
                                                          "N31 Прочитать ответ №3 Ctrl+F3",
                                                          "N41 Прочитать ответ №4 Ctrl+F4",
                                                          "N10 Читать медленнее Ctrl+Z", "N12 Читать быстрее Ctrl+X"}));
        QCOMPARE(w->N3->objectName(), QString("N3"));
        QCOMPARE(captions(w->N6->actions()), QStringList({"N7 Горячие клавишы F1", "N8 О программе "}));

        // The speech switch's check mark follows the switch.
        QVERIFY(w->N2SpeechOnOff->isCheckable());
        QVERIFY(w->N2SpeechOnOff->isChecked());
        rig->setSpeechOn(false);
        QVERIFY(!w->N2SpeechOnOff->isChecked());
        rig->setSpeechOn(true);
        QVERIFY(w->N2SpeechOnOff->isChecked());
    }

    // Shortcuts of the menu work while the main window has the focus: the
    // speech settings window comes up modally, the speech stopped first.
    void speechSettingsFromTheMenu()
    {
        openWindow();
        rig->clear();
        SpeechOut(QStringLiteral("Вопрос №5"), false);
        const sortest::ModalGuard guard;  // a failed step fails the test, not hangs it
        bool sawModal = false;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(frSpeechSet->isVisible());
            sawModal = frSpeechSet->isModal() || QApplication::activeModalWidget() == frSpeechSet;
            frSpeechSet->btCancel->click();
        });
        w->N2->trigger();
        QVERIFY(sawModal);
        QVERIFY(!frSpeechSet->isVisible());
        // The question is cut off; the settings window announces its voice list.
        QCOMPARE(rig->heard().mid(0, 2), QStringList({"Вопрос №5", "!Выпадающий список голосов "}));
    }

    // The first activation empties the question and the answers, assigns the
    // table names and enters the stored state: with no game yet, the start
    // prompt, and once it is confirmed a game.
    void firstActivation()
    {
        openWindow();
        QCOMPARE(w->lblQuestion->text(), QString());
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(w->answerLabel(n)->text(), QString());
        QCOMPARE(w->game().sStatusField, QString("GameStatus"));
        QCOMPARE(prompts, QStringList{"Начать игру"});
        QCOMPARE(w->game().StGame(), gRunning);
        QCOMPARE(storedStatus(), int(gRunning));
        QCOMPARE(static_cast<QuietGame&>(w->game()).steps, QStringList{QString()});
    }

    // Coming back from one of the program's own modal windows is no new
    // activation; coming back from the reconnect window is one.
    void laterActivations()
    {
        openWindow();
        const sortest::ModalGuard guard;  // a failed step fails the test, not hangs it
        {
            QDialog box(w.get());
            QTimer::singleShot(0, &box, [&box] {
                QVERIFY(QTest::qWaitForWindowActive(&box));
                box.accept();
            });
            box.exec();
        }
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::qWait(50);
        QCOMPARE(w->activations(), 1);

        w->setAnswerCaption(1, QStringLiteral("1: Альфа"));
        auto* reconnect = new TfrProcessReconnect;
        reconnect->show();
        reconnect->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(reconnect));
        reconnect->hide();
        delete reconnect;
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTRY_COMPARE(w->activations(), 2);
        QCOMPARE(w->lblQuest1->text(), QString());
    }

    // "Закрыть прогграмму?" after the speech is stopped: "Нет" leaves the window,
    // its clock and its keys; "Да" closes it, stops the clock and gives the keys back.
    void closing_data()
    {
        QTest::addColumn<bool>("byMenu");
        QTest::addColumn<int>("answer");
        QTest::newRow("close box, no") << false << int(sor::mrNo);
        QTest::newRow("close box, yes") << false << int(sor::mrYes);
        QTest::newRow("Выход, no") << true << int(sor::mrNo);
        QTest::newRow("Выход, yes") << true << int(sor::mrYes);
    }
    void closing()
    {
        QFETCH(bool, byMenu);
        QFETCH(int, answer);
        openWindow();
        sortest::MessageRecorder messages;
        messages.answers = {answer};
        QSignalSpy closed(w.get(), &TfrMain::closed);
        w->game().SetiLedTimer(600);
        w->game().SetMTimerEnabled(true);
        rig->clear();
        SpeechOut(QStringLiteral("Вопрос №5"), false);

        if (byMenu)
            w->N9->trigger();
        else
            w->close();

        QCOMPARE(messages.messages.size(), 1);
        const sortest::RecordedMessage& m = messages.messages.first();
        QCOMPARE(m.text, QString("Закрыть прогграмму?"));
        QCOMPARE(m.caption, QString("Вопрос."));
        QCOMPARE(m.buttons, int(sor::mbYes | sor::mbNo));
        QCOMPARE(m.owner, w.get());
        QCOMPARE(rig->heard(), QStringList({"Вопрос №5", "!"}));

        const bool closes = answer == sor::mrYes;
        QCOMPARE(w->isVisible(), !closes);
        QCOMPARE(closed.size(), closes ? 1 : 0);
        QCOMPARE(w->MMTimer1->Enabled(), !closes);
        QCOMPARE(w->MMTimer1->TimerID() != 0, !closes);
        for (int id : sor::GlobalHotKeys::allIds())
            QCOMPARE(w->HotKeys->isRegistered(id), !closes);
        if (closes)
            QCOMPARE(w->HotKeys->backend(), sor::GlobalHotKeys::Backend::None);
    }

    // Another copy logs in on the same account; this copy hears the session
    // message at the player's next answer and ends.
    void takenOverLoginAtTheNextAnswer()
    {
        setStoredStatus(gRunning);
        openWindow([](sor::TGameView& v) { return std::make_unique<RunningGame>(v); });
        w->setAnswerCaption(2, QStringLiteral("2: Париж"));

        TDataModule1 other(TestServer::clientParams(kDb));
        other.UniConnection1.open();
        sortest::runLoginStatements(other, sortest::kDemoEmail, other.md5(sortest::kDemoPassword));

        sor::installUiServices();
        const sortest::ModalGuard guard;  // a failed step fails the test, not hangs it
        QStringList heardInBox;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(sor::openMessageBox());
            sor::SpokenMessageBox* box = sor::openMessageBox();
            QCOMPARE(box->windowTitle(), QString("Внимание! "));
            QCOMPARE(box->buttons().size(), 1);
            heardInBox = rig->heard();
            QTest::mouseClick(box->button(sor::mbOK), Qt::LeftButton);
        });
        int halts = 0;
        sor::setHaltHandler([&] {
            ++halts;
            throw sor::HaltRequested{};
        });
        rig->clear();
        QVERIFY_THROWS_EXCEPTION(sor::HaltRequested, QTest::mouseClick(w->lblQuest2, Qt::LeftButton));
        QCOMPARE(halts, 1);
        QVERIFY(!heardInBox.isEmpty());
        QCOMPARE(heardInBox.first(), QString("!Сессия не действительна!\n\rПод Вашим логином и паролем произведен "
                                             "вход в другой копии программы!\n\rЭта копия программы будет закрыта."));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
