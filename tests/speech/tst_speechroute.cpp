// The two routes of every phrase: the game's own voice while its speech is on,
// the player's screen reader while it is off; the notices the screen reader
// gets, the password mask, and Ctrl+Alt+S in every window.

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include "speech/Announce.h"
#include "speech/FakeSpeechEngine.h"
#include "speech/LabeledEdit.h"
#include "speech/ScreenReader.h"
#include "speech/SpeechRoutines.h"
#include "speech/SpeechSettings.h"
#include "speech/SpeechSettingsWindow.h"
#include "support/SpeechRig.h"

namespace {

// What reaches the platform's accessibility bridge after the password mask:
// installed before the mask, so the mask hands every event on to it.
QStringList gTextEvents;
void recordTextEvents(QAccessibleEvent* event)
{
    switch (event->type()) {
    case QAccessible::TextInserted:
        gTextEvents << "insert " + static_cast<QAccessibleTextInsertEvent*>(event)->textInserted();
        break;
    case QAccessible::TextRemoved:
        gTextEvents << "remove " + static_cast<QAccessibleTextRemoveEvent*>(event)->textRemoved();
        break;
    case QAccessible::TextUpdated: {
        const auto* e = static_cast<QAccessibleTextUpdateEvent*>(event);
        gTextEvents << "update " + e->textRemoved() + " > " + e->textInserted();
        break;
    }
    default:
        break;
    }
}

const QString kMask = QString(QChar(sor::kPasswordMask));

}  // namespace

class TestSpeechRoute : public QObject
{
    Q_OBJECT

    std::unique_ptr<sortest::SpeechRig> rig;

    // The phrases of one piece of the game: its own words and what voices the
    // window, in the order the game says them.
    static void sayAll()
    {
        SpeechOut(QStringLiteral("Неправильно. "), true);
        sor::sayPhrase(QStringLiteral("Кнопка ОК"), true, sor::Phrase::Shown);
        SpeechOut(QStringLiteral("Правильный ответ №2. Париж. "), false);
        SpeechOut(QStringLiteral("   "), false);
        SpeechStop();
        sor::speakAnnouncement({QStringLiteral("Редактор Пароль"), QStringLiteral("секрет")});
        SpeechOut(QStringLiteral("Вопрос №2"), false);
    }

private slots:
    void initTestCase()
    {
        QAccessible::installUpdateHandler(&recordTextEvents);
    }

    void init() { rig = std::make_unique<sortest::SpeechRig>(); }
    void cleanup() { rig.reset(); }

    // Each phrase is a notification of its own in the window the player is
    // in, shown with the phrase as its name.
    void noticesInTheActiveWindow()
    {
        rig->setSpeechOn(false);
        QDialog window;
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        SpeechOut(QStringLiteral("Вопрос №1"), false);
        SpeechOut(QStringLiteral("Сколько будет 2+2?"), false);
        const QList<QWidget*> notices = window.findChildren<QWidget*>(QStringLiteral("sorNotice"));
        QCOMPARE(notices.size(), 2);
        QStringList names;
        for (QWidget* n : notices) {
            QVERIFY(n->isVisible());
            QCOMPARE(n->focusPolicy(), Qt::NoFocus);
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(n);
            QVERIFY(iface);
            QCOMPARE(iface->role(), QAccessible::Notification);
            names << iface->text(QAccessible::Name);
        }
        QCOMPARE(names, QStringList({"Вопрос №1", "Сколько будет 2+2?"}));
        QVERIFY(!window.focusWidget() || window.focusWidget()->objectName() != QStringLiteral("sorNotice"));
    }

    void oneRoutePerSwitch_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QStringList>("heard");
        QTest::addColumn<QStringList>("noticed");
        QTest::newRow("speech on: the game's voice alone")
            << true
            << QStringList({"!Неправильно. ", "!Кнопка ОК", "Правильный ответ №2. Париж. ", "!Редактор Пароль",
                            "секрет", "Вопрос №2"})
            << QStringList();
        QTest::newRow("speech off: the game's own words to the screen reader, in order")
            << false << QStringList()
            << QStringList({"Неправильно. ", "Правильный ответ №2. Париж. ", "Вопрос №2"});
    }
    void oneRoutePerSwitch()
    {
        QFETCH(bool, on);
        QFETCH(QStringList, heard);
        QFETCH(QStringList, noticed);
        rig->setSpeechOn(on);
        rig->clear();
        sayAll();
        QCOMPARE(rig->heard(), heard);
        QCOMPARE(rig->noticed(), noticed);
        if (!on)
            QVERIFY(rig->events().isEmpty());  // not even a stop
    }

    // Said while the voice list is still being built, then routed by the
    // switch the file holds.
    void heldPhrasesTakeTheRouteRestored()
    {
        rig.reset();
        sortest::SpeechRig outer;  // only for the outlet that notes the notices
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("settings.ini"));
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Speech]\nSpeechIndex=0\nSpeechOnOff=0\n");
        f.close();
        auto log = std::make_shared<QStringList>();
        sor::SpeechSettings s(std::make_unique<sor::FakeSpeechEngine>(QStringLiteral("modes"), QStringList(), log),
                              std::make_unique<sor::FakeSpeechEngine>(QStringLiteral("voices"),
                                                                      QStringList({"Russian"}), log, false),
                              ini, 50);
        outer.clear();
        SpeechOut(QStringLiteral("Авторизация"), true);
        sor::sayPhrase(QStringLiteral("Кнопка Войти"), false, sor::Phrase::Shown);
        SpeechOut(QStringLiteral("Ошибка соединения"), false);
        QVERIFY(outer.noticed().isEmpty());
        QTRY_VERIFY(s.isReady());
        QVERIFY(!s.speechOn());
        QCOMPARE(outer.noticed(), QStringList({"Авторизация", "Ошибка соединения"}));
        QVERIFY(!log->join(' ').contains("speak"));
    }

    // The events an edit sends of its text, as they reach the platform's
    // bridge. Qt hands them to the update handler only while a screen reader
    // listens, which it does not on the offscreen platform: they are handed to
    // the handler in force here as Qt would hand them.
    void passwordCharactersReachTheBridgeMasked()
    {
        TLabeledEdit pass(QStringLiteral("Пароль"));
        pass.setEchoMode(QLineEdit::Password);
        pass.setText(QStringLiteral("abc"));
        TLabeledEdit login(QStringLiteral("E-mail"));
        const QAccessible::UpdateHandler handler = QAccessible::installUpdateHandler(nullptr);
        QAccessible::installUpdateHandler(handler);
        QVERIFY(handler && handler != &recordTextEvents);
        const auto send = [handler](QLineEdit* edit) {
            QAccessibleTextInsertEvent typed(edit, 2, QStringLiteral("c"));
            handler(&typed);
            QAccessibleTextRemoveEvent deleted(edit, 1, QStringLiteral("b"));
            handler(&deleted);
            QAccessibleTextUpdateEvent replaced(edit, 0, QStringLiteral("abc"), QStringLiteral("xyz"));
            handler(&replaced);
            QAccessibleEvent focus(edit, QAccessible::Focus);
            handler(&focus);
        };
        gTextEvents.clear();
        send(pass.lineEdit());
        QCOMPARE(gTextEvents, QStringList({"insert " + kMask, "remove " + kMask,
                                           "update " + kMask.repeated(3) + " > " + kMask.repeated(3)}));
        // An edit that is no password is not touched.
        gTextEvents.clear();
        send(login.lineEdit());
        QCOMPARE(gTextEvents, QStringList({"insert c", "remove b", "update abc > xyz"}));
    }

    // Ctrl+Alt+S in a window without the command switches the speech, its
    // state heard on the route in force; a window whose menu holds the
    // command keeps it.
    void speechSwitchKeyInEveryWindow()
    {
        QDialog window;
        auto* edit = new QLineEdit(&window);
        new QVBoxLayout(&window);
        window.layout()->addWidget(edit);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        edit->setFocus();
        rig->clear();
        QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(!rig->settings().speechOn());
        QCOMPARE(rig->heard(), QStringList({"!Речь выключена"}));
        QVERIFY(edit->text().isEmpty());
        QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(rig->settings().speechOn());
        QCOMPARE(rig->heard(), QStringList({"!Речь выключена", "!Речь включена"}));

        int triggered = 0;
        auto* command = new QAction(QStringLiteral("Включить / Отключить речь"), &window);
        command->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S));
        window.addAction(command);
        connect(command, &QAction::triggered, this, [&] { ++triggered; });
        rig->clear();
        QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(triggered, 1);
        QVERIFY(rig->settings().speechOn());
        QVERIFY(rig->heard().isEmpty());
    }
};

QTEST_MAIN(TestSpeechRoute)
#include "tst_speechroute.moc"
