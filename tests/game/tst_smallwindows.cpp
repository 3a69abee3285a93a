// The start prompt, the hot-key help and the about window, driven the way a
// player drives them, with the real spoken message box behind the prompt's
// question. What the player hears is checked phrase by phrase.

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/AppInfo.h"
#include "app/UiServices.h"
#include "game/About.h"
#include "game/HotKeyHelp.h"
#include "game/StartPrompt.h"
#include "speech/SpokenMessageBox.h"
#include "support/SpeechRig.h"

namespace {

// Runs steps one after the other while a modal window runs its own loop: each
// step waits until its condition holds, then acts. Whatever is still open
// after a long while is closed, so that a failing test cannot hang.
class Script : public QObject
{
public:
    struct Step
    {
        std::function<bool()> ready;
        std::function<void()> act;
    };

    explicit Script(QList<Step> steps) : steps_(std::move(steps))
    {
        poll_.setInterval(10);
        connect(&poll_, &QTimer::timeout, this, [this] {
            // An action may run a loop of its own (a modal box), so it runs
            // apart from the poll, which goes on to take the next step from
            // inside that loop.
            if (!acting_ && next_ < steps_.size() && steps_[next_].ready()) {
                acting_ = true;
                const Step step = steps_[next_++];
                QTimer::singleShot(0, this, [this, step] {
                    acting_ = false;
                    step.act();
                });
            }
        });
        poll_.start();
        guard_.setSingleShot(true);
        connect(&guard_, &QTimer::timeout, this, [] {
            if (sor::SpokenMessageBox* box = sor::openMessageBox())
                box->done(-1);
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                modal->done(-1);
        });
        guard_.start(20000);
    }

    bool finished() const { return next_ == steps_.size(); }

private:
    QList<Step> steps_;
    qsizetype next_ = 0;
    bool acting_ = false;
    QTimer poll_;
    QTimer guard_;
};

bool hasFocus(QWidget* w)
{
    return w && w->isActiveWindow() && QApplication::focusWidget() == w;
}

bool boxWaiting()
{
    sor::SpokenMessageBox* box = sor::openMessageBox();
    return box && box->isActiveWindow() && QApplication::focusWidget() && box->isAncestorOf(QApplication::focusWidget());
}

void key(Qt::Key k)
{
    QTest::keyClick(QApplication::focusWidget(), k);
}

const QString kQuestion = QStringLiteral("!Закрыть прогграмму?");

}  // namespace

class TestSmallWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::SpeechRig> rig_;
    std::unique_ptr<QWidget> main_;

private slots:
    void initTestCase() { sor::installUiServices(); }

    void init()
    {
        rig_ = std::make_unique<sortest::SpeechRig>();
        main_ = std::make_unique<QWidget>();
        main_->resize(837, 486);
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
        rig_->clear();
    }

    void cleanup()
    {
        main_.reset();
        rig_.reset();
    }

    void startPromptLooks()
    {
        QStringList heard;
        QString caption;
        QSize size;
        bool frameless = false, isDefault = false, ownedByMain = false;
        Script script({{[] { return frStartGameBt && hasFocus(frStartGameBt->Button1); },
                        [&] {
                            heard = rig_->heard();
                            caption = frStartGameBt->Button1->text();
                            size = frStartGameBt->size();
                            frameless = frStartGameBt->windowFlags() & Qt::FramelessWindowHint;
                            isDefault = frStartGameBt->Button1->isDefault();
                            ownedByMain = frStartGameBt->parentWidget() == main_.get();
                            key(Qt::Key_Return);
                        }}});
        QCOMPARE(ShowStartPrompt(main_.get(), QStringLiteral("Начать 2-й тур")), 1);
        QVERIFY(script.finished());
        QCOMPARE(heard, QStringList({"!Кнопка Начать 2-й тур"}));
        QCOMPARE(rig_->heard(), QStringList({"!Кнопка Начать 2-й тур", "!"}));  // closing stops the speech
        QCOMPARE(caption, QStringLiteral("Начать 2-й тур"));
        QCOMPARE(size, QSize(248, 107));
        QVERIFY(frameless);
        QVERIFY(isDefault);
        QVERIFY(ownedByMain);
        QCOMPARE(frStartGameBt, nullptr);
    }

    void startPromptKeys_data()
    {
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter starts") << int(Qt::Key_Return) << 1;
        QTest::newRow("Space starts") << int(Qt::Key_Space) << 1;
    }
    void startPromptKeys()
    {
        QFETCH(int, press);
        QFETCH(int, result);
        Script script({{[] { return frStartGameBt && hasFocus(frStartGameBt->Button1); },
                        [press] { key(Qt::Key(press)); }}});
        QCOMPARE(ShowStartPrompt(main_.get(), QStringLiteral("Начать игру")), result);
    }

    // Esc asks; "Нет" leaves the prompt open and waiting for its button, "Да"
    // closes it with 2 (the caller then ends the program).
    void escapeAsksWhetherToEnd()
    {
        QStringList afterNo;
        bool openAfterNo = false;
        Script script({
            {[] { return frStartGameBt && hasFocus(frStartGameBt->Button1); }, [] { key(Qt::Key_Escape); }},
            {boxWaiting,
             [&] {
                 QCOMPARE(sor::openMessageBox()->windowTitle(), QStringLiteral("Вопрос."));
                 QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Yes"));
                 key(Qt::Key_Tab);  // to "Нет"
                 key(Qt::Key_Space);
             }},
            // The desktop hands the keyboard back to the prompt as the box goes
            // (the offscreen platform has nobody to do it).
            {[] { return !sor::openMessageBox(); },
             [] {
                 if (frStartGameBt) {
                     frStartGameBt->activateWindow();
                     QApplication::setActiveWindow(frStartGameBt);
                 }
             }},
            {[] { return frStartGameBt && hasFocus(frStartGameBt->Button1); },
             [&] {
                 QTest::qWait(200);  // the prompt goes on waiting
                 openAfterNo = frStartGameBt && frStartGameBt->isVisible();
                 afterNo = rig_->heard();
                 key(Qt::Key_Escape);
             }},
            {boxWaiting, [] { key(Qt::Key_Return); }},  // "Да", the default
        });
        QCOMPARE(ShowStartPrompt(main_.get(), QStringLiteral("Начать игру")), 2);
        QVERIFY(script.finished());
        QVERIFY(openAfterNo);
        // The question with its buttons as the player moves to "Нет"; closing
        // the box cuts it off, and the button that gets the keyboard back is
        // not announced again. The second time it closes the prompt, and the
        // speech stops with it.
        const QStringList asked = {kQuestion, "Кнопка Да"};
        const QStringList untilNo = QStringList({"!Кнопка Начать игру"}) + asked + QStringList({"Кнопка Нет"});
        QCOMPARE(afterNo, untilNo + QStringList({"!"}));
        QCOMPARE(rig_->heard(), untilNo + asked + QStringList({"!"}));
        QCOMPARE(frStartGameBt, nullptr);
    }

    void onlyOnePromptAtATime()
    {
        int second = -1;
        Script script({{[] { return frStartGameBt && hasFocus(frStartGameBt->Button1); },
                        [&] {
                            second = ShowStartPrompt(main_.get(), QStringLiteral("Начать игру"));
                            key(Qt::Key_Return);
                        }}});
        QCOMPARE(ShowStartPrompt(main_.get(), QStringLiteral("Начать игру")), 1);
        QCOMPARE(second, 0);
    }

    void helpReadsItsListAndStopsOnOk()
    {
        const QString list = QStringList({
            "Клавиши с цифрами  1, 2, 3, 4  - Осуществляют выбор ",
            "соответствующего варианта ответа.",
            "Ctrl+Alt+S - Включить / Отключить речь.",
            "Ctrl+T - Прочитать сколько осталось времени до конца тура.",
            "Ctrl+Q - Прочитать вопрос.",
            "Ctrl+A - Прочитать все варианты ответов.",
            "Ctrl+F1 - Прочитать ответ №1.",
            "Ctrl+F2 - Прочитать ответ №2.",
            "Ctrl+F3 - Прочитать ответ №3.",
            "Ctrl+F4 - Прочитать ответ №4.",
            "Ctrl+Z - Уменьшить скорость речи. (Для голосов SAPI5)",
            "Ctrl+X - Увеличить скорость речи. (Для голосов SAPI5)",
            "Ctrl+пробел  - Прервать чтение текущей фразы.",
        }).join('\n');
        QStringList opened, onOk;
        QString title, shown;
        QSize size;
        Script script({
            {[] { return frHotKey && frHotKey->isActiveWindow() && hasFocus(frHotKey->Memo1); },
             [&] {
                 QTest::qWait(100);
                 opened = rig_->heard();
                 title = frHotKey->windowTitle();
                 shown = frHotKey->Memo1->toPlainText();
                 size = frHotKey->size();
                 key(Qt::Key_Tab);
                 onOk = rig_->heard();
                 key(Qt::Key_Return);
             }},
        });
        QCOMPARE(ShowHotKeyHelp(main_.get()), 1);
        QVERIFY(script.finished());
        QCOMPARE(opened, QStringList({"!" + list}));
        QCOMPARE(onOk, QStringList({"!" + list, "!Кнопка ОК"}));
        QCOMPARE(rig_->heard(), QStringList({"!" + list, "!Кнопка ОК", "!"}));
        QCOMPARE(shown, list);
        QCOMPARE(title, QStringLiteral("Горячие клавиши!"));
        QCOMPARE(size, QSize(390, 281));
        QCOMPARE(frHotKey, nullptr);
    }

    // Closed while still reading: silence, whichever way it is closed.
    void helpClosedWhileReading_data()
    {
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter is OK") << int(Qt::Key_Return) << 1;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << 0;
    }
    void helpClosedWhileReading()
    {
        QFETCH(int, press);
        QFETCH(int, result);
        Script script({{[] { return frHotKey && hasFocus(frHotKey->Memo1); }, [press] { key(Qt::Key(press)); }}});
        QCOMPARE(ShowHotKeyHelp(main_.get()), result);
        QCOMPARE(rig_->heard().size(), 2);
        QCOMPARE(rig_->heard().last(), QStringLiteral("!"));
    }

    void aboutShowsTheVersionAndSaysNothing()
    {
        QString version, title, ok;
        QSize size;
        Script script({{[] { return AboutBox && AboutBox->isActiveWindow(); },
                        [&] {
                            QTest::qWait(100);
                            version = AboutBox->lblVersion->text();
                            title = AboutBox->windowTitle();
                            ok = AboutBox->OKButton->text();
                            size = AboutBox->size();
                            QVERIFY(AboutBox->OKButton->isDefault());
                            key(Qt::Key_Return);
                        }}});
        QCOMPARE(ShowAboutBox(main_.get()), 1);
        QVERIFY(script.finished());
        QCOMPARE(version, sor::appVersion());
        QCOMPARE(version, QStringLiteral("3.1.0.0"));
        QCOMPARE(title, QStringLiteral("О программе"));
        QCOMPARE(ok, QStringLiteral("OK"));
        QCOMPARE(size, QSize(326, 200));
        QCOMPARE(rig_->heard(), QStringList());
        QCOMPARE(AboutBox, nullptr);
    }
};

QTEST_MAIN(TestSmallWindows)
#include "tst_smallwindows.moc"
