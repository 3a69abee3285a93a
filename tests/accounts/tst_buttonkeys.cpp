// Enter and Escape in every window of the program, as a keyboard player uses
// them: Enter (the main key or the keypad's) on the button that has the
// keyboard does that button's own action and nothing else; Escape cancels.
// Under Xvfb the keys are typed for real with xdotool; elsewhere they go to
// the focused control.

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "AccountRows.h"
#include "accounts/LoginWindow.h"
#include "accounts/PasswordRestoreWindow.h"
#include "accounts/RegistrationWindow.h"
#include "accounts/SettingsWindow.h"
#include "data/SessionContext.h"
#include "data/DataModule.h"
#include "game/About.h"
#include "game/HotKeyHelp.h"
#include "game/StartPrompt.h"
#include "speech/MessageDlg.h"
#include "speech/SpokenMessageBox.h"
#include "speech/SpeechSettingsWindow.h"
#include "support/Desktop.h"
#include "support/MessageRecorder.h"
#include "support/ModalGuard.h"
#include "support/SpeechRig.h"
#include "support/TestServer.h"
#include "support/XInput.h"

using sortest::TestServer;

namespace {

const QString kDb = sortest::TestServer::ownDatabase();

// The window a row is about, made afresh.
std::unique_ptr<QDialog> makeWindow(const QString& name)
{
    if (name == "frmInput")
        return std::make_unique<TfrmInput>();
    if (name == "frmRegist")
        return std::make_unique<TfrmRegist>();
    if (name == "frRestPass")
        return std::make_unique<TfrRestPass>();
    if (name == "frSettings")
        return std::make_unique<TfrSettings>();
    if (name == "frStartGameBt") {
        auto w = std::make_unique<TfrStartGameBt>(nullptr);
        w->Button1->setText(QStringLiteral("Начать игру"));
        return w;
    }
    if (name == "frHotKey")
        return std::make_unique<TfrHotKey>();
    if (name == "AboutBox")
        return std::make_unique<TAboutBox>();
    if (name == "YesNo")
        return std::make_unique<sor::SpokenMessageBox>(QStringLiteral("Закрыть программу?"), sor::mbYes | sor::mbNo);
    if (name == "OkCancel")
        return std::make_unique<sor::SpokenMessageBox>(QStringLiteral("Вопрос"), sor::mbOK | sor::mbCancel);
    return nullptr;
}

}  // namespace

class TestButtonKeys : public QObject
{
    Q_OBJECT

    std::unique_ptr<acctest::StoredLoginSandbox> stored;
    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<sortest::SpeechRig> rig;

    // Runs the window modally, gives `button` (empty: leave the focus where the
    // window put it) the keyboard, types `key`, and tells what came of it:
    // "closed N" (the window's result), "message TEXT" (its first line) or
    // "opened NAME" (another window shown over it). What is still open
    // afterwards is closed by the test.
    QString press(QDialog* w, const QString& button, const QString& key)
    {
        sortest::MessageRecorder messages;
        QStringList seen;
        bool failed = false;
        bool closedByTest = false;

        // Any other modal window the key opened is noted and closed at once.
        QTimer watcher;
        watcher.setInterval(20);
        connect(&watcher, &QTimer::timeout, [&] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* d = qobject_cast<QDialog*>(top);
                if (d && d != w && d->isVisible() && d != rig->window()) {
                    seen << "opened " + d->objectName();
                    d->done(2);
                }
            }
        });
        watcher.start();

        QTimer::singleShot(0, this, [&] {
            auto fail = [&](const char* why) {
                qWarning("%s", why);
                failed = true;
            };
            if (!QTest::qWaitForWindowExposed(w)) {
                fail("the window is not shown");
            } else {
                if (sortest::onX() && !QTest::qWaitForWindowActive(w, 1000))
                    sortest::activateThroughWm(w->winId());
                if (!sortest::onX()) {
                    w->activateWindow();
                    QApplication::setActiveWindow(w);
                }
                if (!QTest::qWaitForWindowActive(w))
                    fail("the window does not get the keyboard");
                // Keys typed for real go where the X server's focus is: wait for it.
                if (!failed && sortest::onX()) {
                    sortest::OtherXClient x;
                    if (!QTest::qWaitFor([&] { return x.focus() == xcb_window_t(w->winId()); }, 3000))
                        fail("the X focus is not on the window");
                }
            }
            if (!failed && !button.isEmpty()) {
                auto* b = w->findChild<QPushButton*>(button);
                if (!b) {
                    fail("no such button");
                } else {
                    b->setFocus(Qt::TabFocusReason);
                    if (!QTest::qWaitFor([&] { return b->hasFocus(); }, 2000))
                        fail("the button does not take the keyboard");
                }
            }
            if (!failed) {
                if (sortest::onX()) {
                    sortest::xdotool({"key", key});
                } else {
                    const Qt::Key k = key == "Escape" ? Qt::Key_Escape
                                      : key == "KP_Enter" ? Qt::Key_Enter
                                                          : Qt::Key_Return;
                    QTest::keyClick(QApplication::focusWidget(), k,
                                    key == "KP_Enter" ? Qt::KeypadModifier : Qt::NoModifier);
                }
                // Something comes of every key in the table: the window closes,
                // says something or opens another.
                if (!QTest::qWaitFor([&] { return !w->isVisible() || !messages.messages.isEmpty() || !seen.isEmpty(); },
                                     5000))
                    fail("the key did nothing");
            }
            if (w->isVisible()) {
                closedByTest = true;
                w->done(-1);
            }
        });
        // Nothing above may keep the window open for long.
        const sortest::ModalGuard guard;
        const int result = w->exec();
        watcher.stop();

        if (failed || guard.fired())
            return "failed";
        for (const sortest::RecordedMessage& m : messages.messages)
            seen << "message " + m.text.section(QLatin1Char('\r'), 0, 0).section(QLatin1Char('\n'), 0, 0);
        if (!closedByTest)
            seen << "closed " + QString::number(result);
        return seen.join(QLatin1String("; "));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(TestServer::available(), "the test game server is not running");
        QVERIFY(TestServer::createDatabase(kDb));
        stored = std::make_unique<acctest::StoredLoginSandbox>();
    }

    void init()
    {
        sor::resetSessionContext();
        dm = std::make_unique<TDataModule1>(TestServer::clientParams(kDb));
        dm->UniConnection1.open();
        rig = std::make_unique<sortest::SpeechRig>();
    }

    void cleanup()
    {
        rig.reset();
        dm.reset();
    }

    void keysOnButtons_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("outcome");

        const QString noLogin = "message Введите данные аккаунта для входа в программу!";
        const QString noEmail = "message Отсутствует адрес электронной почты! Запись не может быть сохранена!";
        const QString noCodeEmail = "message Отсутствует адрес электронной почты!";
        const QString noSaveEmail = "message Ошибка сохранения! Отсутствует адрес электронной почты!";
        const struct
        {
            const char* window;
            const char* button;
            QString outcome;
        } rows[] = {
            {"frmInput", "btRestPass", "opened frRestPass"},
            {"frmInput", "btOK", noLogin},
            {"frmInput", "btRegistr", "opened frmRegist"},
            {"frmInput", "btCancel", "closed 2"},
            {"frmRegist", "btOK", noEmail},
            {"frmRegist", "btCancel", "closed 2"},
            {"frRestPass", "btGetCodeRest", noCodeEmail},
            {"frRestPass", "btOK", noSaveEmail},
            {"frRestPass", "btCancel", "closed 2"},
            {"frSettings", "btOK", "closed 1"},
            {"frSettings", "btCancel", "closed 2"},
            {"frStartGameBt", "Button1", "closed 1"},
            {"frHotKey", "btOK", "closed 1"},
            {"AboutBox", "OKButton", "closed 1"},
            {"YesNo", "Yes", "closed 6"},
            {"YesNo", "No", "closed 7"},
            {"OkCancel", "OK", "closed 1"},
            {"OkCancel", "Cancel", "closed 2"},
        };
        for (const auto& row : rows) {
            for (const char* key : {"Return", "KP_Enter"})
                QTest::addRow("%s %s %s", row.window, row.button, key)
                    << QString::fromLatin1(row.window) << QString::fromLatin1(row.button) << QString::fromLatin1(key)
                    << row.outcome;
        }
    }
    void keysOnButtons()
    {
        QFETCH(QString, window);
        QFETCH(QString, button);
        QFETCH(QString, key);
        QFETCH(QString, outcome);
        std::unique_ptr<QDialog> w = makeWindow(window);
        QVERIFY(w);
        QCOMPARE(press(w.get(), button, key), outcome);
    }

    // The speech settings window as a player meets it from the menu: another
    // voice picked with the arrows, then a button and Enter.
    void speechSettingsButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("committed");
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("Enter on Отмена keeps the voice") << "btCancel" << "Return" << 1 << false;
        QTest::newRow("keypad Enter on Отмена keeps the voice") << "btCancel" << "KP_Enter" << 1 << false;
        QTest::newRow("Escape keeps the voice") << "" << "Escape" << 1 << false;
        QTest::newRow("Enter on ОК commits it") << "btOK" << "Return" << 0 << true;
    }
    void speechSettingsButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, key);
        QFETCH(int, committed);
        QFETCH(bool, confirmed);
        TfrSpeechSet* w = rig->window();
        QCOMPARE(rig->settings().IndexTTS(), 1);  // "Russian"
        w->cbSelectSpeech->setCurrentIndex(0);      // "English", as the arrows pick it
        rig->clear();
        const QString result = press(w, button, key);
        QCOMPARE(result, QStringLiteral("closed %1").arg(confirmed ? 1 : 0));
        QCOMPARE(rig->settings().IndexTTS(), committed);
        QCOMPARE(rig->heard().contains(QStringLiteral("!Энтэр. ")), confirmed);
    }

    void escapeCancels_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("login") << "frmInput" << "closed 2";
        QTest::newRow("registration") << "frmRegist" << "closed 2";
        QTest::newRow("restore") << "frRestPass" << "closed 2";
        QTest::newRow("settings") << "frSettings" << "closed 2";
        QTest::newRow("a question") << "YesNo" << "closed 7";
        QTest::newRow("OK or Cancel") << "OkCancel" << "closed 2";
    }
    void escapeCancels()
    {
        QFETCH(QString, window);
        QFETCH(QString, outcome);
        std::unique_ptr<QDialog> w = makeWindow(window);
        QCOMPARE(press(w.get(), QString(), QStringLiteral("Escape")), outcome);
    }
};

QTEST_MAIN(TestButtonKeys)
#include "tst_buttonkeys.moc"
