// The spoken message box: what the player hears from the moment it opens to the
// moment it closes, its buttons and results, and the single box at a time.

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "app/UiServices.h"
#include "speech/MessageDlg.h"
#include "speech/SpokenMessageBox.h"
#include "speech/SpeechSettingsWindow.h"
#include "support/ModalGuard.h"
#include "support/SpeechRig.h"

using sor::SpokenMessageBox;

namespace {

// Calls `call` (which opens a box) and, once the box is open and has the
// keyboard, runs `inside` with it; a box still open after a long while is closed
// so that a failing test cannot hang.
int withBox(const std::function<int()>& call, const std::function<void(SpokenMessageBox*)>& inside)
{
    bool ran = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        SpokenMessageBox* box = sor::openMessageBox();
        QWidget* focus = QApplication::focusWidget();
        if (!ran && box && box->isActiveWindow() && focus && box->isAncestorOf(focus)) {
            ran = true;
            poll.stop();
            inside(box);
        }
    });
    poll.start();
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (SpokenMessageBox* box = sor::openMessageBox())
            box->done(-1);
    });
    guard.start(20000);
    return call();
}

void press(Qt::Key key)
{
    QTest::keyClick(QApplication::focusWidget(), key);
}

QStringList objectNames(const QList<QPushButton*>& buttons)
{
    QStringList names;
    for (const QPushButton* b : buttons)
        names.append(b->objectName());
    return names;
}

}  // namespace

class TestMyMessageDlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { sor::installUiServices(); }

    void okBoxIsHeardAndEscapeGivesOk()
    {
        sortest::SpeechRig rig;
        const QString text = QStringLiteral("Нет связи с сервером <b>игры</b>.");
        QStringList heardInside;
        QString title, shown, focused;
        bool hasIcon = false;
        Qt::TextFormat format = Qt::AutoText;
        const int result = withBox(
            [&] { return MyMessageDlg(nullptr, text, QStringLiteral("Ошибка! "), sor::mbOK); },
            [&](SpokenMessageBox* box) {
                heardInside = rig.heard();
                title = box->windowTitle();
                shown = box->textLabel()->text();
                hasIcon = !box->findChild<QLabel*>(QStringLiteral("Image"))->pixmap().isNull();
                focused = QApplication::focusWidget()->objectName();
                format = box->textLabel()->textFormat();
                press(Qt::Key_Escape);
            });
        QCOMPARE(result, 1);
        QCOMPARE(heardInside, QStringList({"!" + text, "Кнопка ОК"}));
        QCOMPARE(rig.heard(), QStringList({"!" + text, "Кнопка ОК", "!"}));  // closing stops the speech
        QCOMPARE(title, QStringLiteral("Ошибка! "));
        QCOMPARE(shown, text);
        QCOMPARE(format, Qt::PlainText);  // shown as written, not as markup
        QVERIFY(hasIcon);
        QCOMPARE(focused, QStringLiteral("OK"));
        QVERIFY(!sor::openMessageBox());
    }

    void yesNoBoxWalkedWithTheKeyboard_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("heard");
        const QString q = QStringLiteral("!Начать новую игру?");
        QTest::newRow("Escape is No") << QList<int>{Qt::Key_Escape} << 7 << QStringList({q, "Кнопка Да", "!"});
        QTest::newRow("Enter on the default is Yes") << QList<int>{Qt::Key_Return} << 6 << QStringList({q, "Кнопка Да", "!"});
        QTest::newRow("Tab to No, Space")
            << QList<int>{Qt::Key_Tab, Qt::Key_Space} << 7 << QStringList({q, "Кнопка Да", "Кнопка Нет", "!"});
        QTest::newRow("arrows there and back, Enter")
            << QList<int>{Qt::Key_Right, Qt::Key_Left, Qt::Key_Return} << 6
            << QStringList({q, "Кнопка Да", "Кнопка Нет", "Кнопка Да", "!"});
    }
    void yesNoBoxWalkedWithTheKeyboard()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, result);
        QFETCH(QStringList, heard);
        sortest::SpeechRig rig;
        const int r = withBox([] { return MyMessageDlg(nullptr, QStringLiteral("Начать новую игру?"),
                                                       QStringLiteral("Вопрос."), sor::mbYes | sor::mbNo); },
                              [&](SpokenMessageBox*) {
                                  for (int key : keys)
                                      press(Qt::Key(key));
                              });
        QCOMPARE(r, result);
        QCOMPARE(rig.heard(), heard);
    }

    void buttonSets_data()
    {
        QTest::addColumn<int>("set");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QString>("defaultButton");
        QTest::addColumn<QString>("escapeButton");
        QTest::newRow("every button")
            << 0x0FFF
            << QStringList({"Yes", "No", "OK", "Cancel", "Abort", "Retry", "Ignore", "All", "NoToAll", "YesToAll", "Help", "Close"})
            << "OK" << "Cancel";
        QTest::newRow("Yes No Cancel") << 0x000B << QStringList({"Yes", "No", "Cancel"}) << "Yes" << "Cancel";
        QTest::newRow("Abort Retry Ignore") << 0x0070 << QStringList({"Abort", "Retry", "Ignore"}) << "Retry" << "";
        QTest::newRow("Retry Cancel") << 0x0028 << QStringList({"Cancel", "Retry"}) << "Retry" << "Cancel";
        QTest::newRow("OK Help") << 0x0404 << QStringList({"OK", "Help"}) << "OK" << "OK";
        QTest::newRow("Close alone") << 0x0800 << QStringList({"Close"}) << "" << "";
    }
    void buttonSets()
    {
        QFETCH(int, set);
        QFETCH(QStringList, order);
        QFETCH(QString, defaultButton);
        QFETCH(QString, escapeButton);
        SpokenMessageBox box(QStringLiteral("Текст"), set);
        box.show();
        QCOMPARE(objectNames(box.buttons()), order);
        for (qsizetype i = 1; i < box.buttons().size(); ++i)  // one row, left to right in that order
            QVERIFY(box.buttons()[i - 1]->x() < box.buttons()[i]->x());
        QCOMPARE(box.defaultButton() ? box.defaultButton()->objectName() : QString(), defaultButton);
        QCOMPARE(box.escapeButton() ? box.escapeButton()->objectName() : QString(), escapeButton);
    }

    void captionsAndResults_data()
    {
        QTest::addColumn<int>("bit");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("result");
        QTest::newRow("Yes") << 0x0001 << "Да" << 6;
        QTest::newRow("No") << 0x0002 << "Нет" << 7;
        QTest::newRow("OK") << 0x0004 << "ОК" << 1;
        QTest::newRow("Cancel") << 0x0008 << "Отмена" << 2;
        QTest::newRow("Abort") << 0x0010 << "Прервать" << 3;
        QTest::newRow("Retry") << 0x0020 << "Повторить" << 4;
        QTest::newRow("Ignore") << 0x0040 << "Игнорировать" << 5;
        QTest::newRow("Close") << 0x0800 << "Закрыть" << 8;
        QTest::newRow("All") << 0x0080 << "&All" << 12;
        QTest::newRow("No to all") << 0x0100 << "N&o to All" << 13;
        QTest::newRow("Yes to all") << 0x0200 << "Yes to &All" << 14;
    }
    void captionsAndResults()
    {
        QFETCH(int, bit);
        QFETCH(QString, caption);
        QFETCH(int, result);
        SpokenMessageBox box(QStringLiteral("Текст"), 0x0FFF);
        QCOMPARE(box.button(bit)->text(), caption);
        const sortest::ModalGuard guard;  // a failed step fails the test, not hangs it
        QTimer::singleShot(0, &box, [&] { box.button(bit)->click(); });
        QCOMPARE(box.exec(), result);
    }

    void helpDoesNotCloseTheBox()
    {
        sortest::SpeechRig rig;
        bool openAfterHelp = false;
        QString helpCaption;
        const int r = withBox([] { return MyMessageDlg(nullptr, QStringLiteral("Текст"), QStringLiteral("Сообщение."),
                                                       sor::mbOK | sor::mbHelp); },
                              [&](SpokenMessageBox* box) {
                                  helpCaption = box->button(sor::mbHelp)->text();
                                  box->button(sor::mbHelp)->click();
                                  QTest::qWait(50);
                                  openAfterHelp = box->isVisible() && sor::openMessageBox() == box;
                                  press(Qt::Key_Tab);  // onto Help: it is announced too
                                  box->button(sor::mbOK)->click();
                              });
        QCOMPARE(r, 1);
        QCOMPARE(helpCaption, QStringLiteral("Помощь"));
        QVERIFY(openAfterHelp);
        QVERIFY(rig.heard().contains(QStringLiteral("Кнопка Помощь")));
    }

    void aSecondCallWhileABoxIsOpen()
    {
        sortest::SpeechRig rig;
        int second = -1;
        QStringList heardBefore, heardAfter;
        int boxes = 0;
        QElapsedTimer t;
        qint64 took = -1;
        withBox([] { return MyMessageDlg(nullptr, QStringLiteral("Первое"), QStringLiteral("Сообщение."), sor::mbOK); },
                [&](SpokenMessageBox*) {
                    heardBefore = rig.heard();
                    t.start();
                    second = MyMessageDlg(nullptr, QStringLiteral("Второе?"), QStringLiteral("Вопрос."),
                                          sor::mbYes | sor::mbNo);
                    took = t.elapsed();
                    heardAfter = rig.heard();
                    for (QWidget* w : QApplication::topLevelWidgets())
                        boxes += qobject_cast<SpokenMessageBox*>(w) && w->isVisible();
                    press(Qt::Key_Return);
                });
        QCOMPARE(second, int(sor::mrNone));  // refused: never 6
        QVERIFY(took < 1000);                   // and at once
        QCOMPARE(heardAfter, heardBefore);      // says nothing
        QCOMPARE(boxes, 1);                     // shows nothing
    }

    void otherWindowsAreDisabledMeanwhile()
    {
        sortest::SpeechRig rig;  // frSpeechSet: a hidden window of its own
        QWidget main;
        main.setWindowTitle(QStringLiteral("Игра"));
        main.show();
        main.activateWindow();
        QApplication::setActiveWindow(&main);
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QWidget disabledBefore;
        disabledBefore.setEnabled(false);

        bool mainEnabled = true, speechSetEnabled = true, boxEnabled = false;
        QWidget* owner = nullptr;
        withBox([&] { return MyMessageDlg(&main, QStringLiteral("Текст"), QStringLiteral("Сообщение."), sor::mbOK); },
                [&](SpokenMessageBox* box) {
                    mainEnabled = main.isEnabled();
                    speechSetEnabled = frSpeechSet->isEnabled();
                    boxEnabled = box->isEnabled() && box->button(sor::mbOK)->isEnabled();
                    owner = box->parentWidget();
                    press(Qt::Key_Return);
                });
        QVERIFY(!mainEnabled);
        QVERIFY(!speechSetEnabled);
        QVERIFY(boxEnabled);
        QCOMPARE(owner, &main);
        QVERIFY(main.isEnabled());
        QVERIFY(frSpeechSet->isEnabled());
        QVERIFY(!disabledBefore.isEnabled());  // was disabled, stays disabled
    }

    // Disabling the windows meanwhile must not lose their focus control: back
    // in the window, the keyboard is where the player left it.
    void focusComesBackWhereItWas()
    {
        QWidget main;
        auto* first = new QLineEdit(&main);
        auto* second = new QLineEdit(&main);
        auto* column = new QVBoxLayout(&main);
        column->addWidget(first);
        column->addWidget(second);
        main.show();
        main.activateWindow();
        QApplication::setActiveWindow(&main);
        QVERIFY(QTest::qWaitForWindowActive(&main));
        second->setFocus();
        QCOMPARE(QApplication::focusWidget(), second);
        withBox([&] { return MyMessageDlg(&main, QStringLiteral("Текст"), QStringLiteral("Сообщение."), sor::mbOK); },
                [](SpokenMessageBox*) { press(Qt::Key_Return); });
        main.activateWindow();
        QApplication::setActiveWindow(&main);
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QTRY_COMPARE(QApplication::focusWidget(), second);
    }

    void severalLinesAreOneText()
    {
        sortest::SpeechRig rig;
        const QString text = QStringLiteral("Игра окончена.\nОтветов: 63.\nПравильных: 40.");
        withBox([&] { return MyMessageDlg(nullptr, text, QStringLiteral("Сообщение. "), sor::mbOK); },
                [](SpokenMessageBox*) { press(Qt::Key_Return); });
        QCOMPARE(rig.heard(), QStringList({"!" + text, "Кнопка ОК", "!"}));
    }

    void silentWithSpeechOffButWorking()
    {
        sortest::SpeechRig rig;
        rig.setSpeechOn(false);
        const int r = withBox([] { return MyMessageDlg(nullptr, QStringLiteral("Выйти?"), QStringLiteral("Вопрос."),
                                                       sor::mbYes | sor::mbNo); },
                              [](SpokenMessageBox*) { press(Qt::Key_Tab); press(Qt::Key_Return); });
        QCOMPARE(r, 7);
        QVERIFY(rig.events().isEmpty());
    }
};

QTEST_MAIN(TestMyMessageDlg)
#include "tst_mymessagedlg.moc"
