// The system-wide hot keys. Under a real X server (Xvfb) the keys are typed
// with xdotool while another window, or another program, has the focus; on
// the offscreen platform they are application-wide shortcuts, driven by QTest.
// Built twice: with SOR_EXPECT_XCB it must run on X, without it offscreen.

#include <QApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "platform/GlobalHotKeys.h"
#include "support/XInput.h"

using sor::GlobalHotKeys;
using sortest::onX;
using sortest::OtherXClient;
using sortest::typeKeys;

namespace {

const QList<int> kAllIds = {1025, 1026, 1027, 1028, 1034};

}  // namespace

#define NEED_X()                            \
    do {                                    \
        if (!onX())                         \
            QSKIP("needs an X server");     \
    } while (false)
#define NEED_NO_X()                                               \
    do {                                                          \
        if (onX())                                                \
            QSKIP("the fallback is for platforms without X");     \
    } while (false)

class TestGlobalHotKeys : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> mainWindow;
    std::unique_ptr<QLineEdit> other;  // another window of the program
    GlobalHotKeys* keys = nullptr;
    QList<int> got;

    void showAndFocus(QWidget* w)
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }

    // Runs a queued call of our own on the hot keys' object and waits for it:
    // a key's call queued before it (the calls run in order) has run by then.
    void runQueuedCalls()
    {
        bool ran = false;
        QMetaObject::invokeMethod(keys, [&ran] { ran = true; }, Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(ran, 5000);
    }

private slots:
    void initTestCase()
    {
#ifdef SOR_EXPECT_XCB
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
#else
        QVERIFY(!onX());
#endif
        QCOMPARE(GlobalHotKeys::allIds(), kAllIds);
    }

    void init()
    {
        got.clear();
        mainWindow = std::make_unique<QWidget>();
        mainWindow->setWindowTitle("game");
        mainWindow->resize(300, 200);
        other = std::make_unique<QLineEdit>();
        other->setWindowTitle("another window");
        other->move(400, 0);
        keys = new GlobalHotKeys(mainWindow.get());
        connect(keys, &GlobalHotKeys::hotKey, this, [this](int id) { got << id; });
        mainWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(mainWindow.get()));
        showAndFocus(other.get());
    }

    void cleanup()
    {
        other.reset();
        mainWindow.reset();  // and the hot keys with it
        keys = nullptr;
    }

    // Digits 1-4 and Ctrl+Space reach the game while another window has the
    // focus, whatever the lock keys say, and the window with the focus does
    // not see them.
    void x11KeysArriveWhateverTheLocks_data()
    {
        QTest::addColumn<QStringList>("locks");
        QTest::newRow("no lock keys") << QStringList{};
        QTest::newRow("NumLock on") << QStringList{"Num_Lock"};
        QTest::newRow("CapsLock on") << QStringList{"Caps_Lock"};
        QTest::newRow("NumLock and CapsLock on") << QStringList{"Num_Lock", "Caps_Lock"};
    }
    void x11KeysArriveWhateverTheLocks()
    {
        NEED_X();
        QFETCH(QStringList, locks);

        keys->registerAll();
        QCOMPARE(keys->backend(), GlobalHotKeys::Backend::X11);
        for (int id : kAllIds)
            QVERIFY(keys->isRegistered(id));

        OtherXClient x;
        QVERIFY(x.ok());
        const quint16 before = x.modifierState();
        if (!locks.isEmpty())
            typeKeys(locks);
        const auto locksOff = qScopeGuard([&] {
            if (!locks.isEmpty())
                typeKeys(locks);
        });
        if (!locks.isEmpty())
            QVERIFY2(x.modifierState() != before, "the lock keys did not change the state");

        typeKeys({"1", "2", "3", "4", "ctrl+space"});
        QTRY_COMPARE_WITH_TIMEOUT(got, kAllIds, 10000);
        QTest::qWait(100);
        QCOMPARE(other->text(), QString());
        QVERIFY(other->isActiveWindow());
    }

    void x11KeysArriveWhileAnotherProgramHasTheFocus()
    {
        NEED_X();
        keys->registerAll();
        OtherXClient x;
        QVERIFY(x.ok());
        x.focusOwnWindow();
        QTRY_COMPARE_WITH_TIMEOUT(x.focus(), x.window(), 5000);

        typeKeys({"4", "ctrl+space", "2"});
        QTRY_COMPARE_WITH_TIMEOUT(got, (QList<int>{1028, 1034, 1026}), 10000);
        // The program with the focus saw none of them (only the Ctrl key itself).
        QTest::qWait(100);
        for (xcb_keysym_t key : {0x34, 0x20, 0x32})
            QVERIFY(!x.keyPresses().contains(x.keycodeOf(key)));
    }

    // Another program holds 3: the game goes without it, silently, and the
    // other keys work; 3 goes to the program that holds it.
    void x11KeyHeldByAnotherProgramIsSkipped()
    {
        NEED_X();
        OtherXClient holder;
        QVERIFY(holder.ok());
        const xcb_keycode_t three = holder.keycodeOf(0x33);
        QVERIFY(three != 0);
        QVERIFY(holder.grab(three));

        // Refused silently: not even the toolkit's report of an X error.
        QTest::failOnWarning(QRegularExpression("XCB error|BadAccess"));
        keys->registerAll();
        QCOMPARE(keys->backend(), GlobalHotKeys::Backend::X11);
        QVERIFY(!keys->isRegistered(1027));
        for (int id : {1025, 1026, 1028, 1034})
            QVERIFY(keys->isRegistered(id));

        typeKeys({"3", "1", "ctrl+space"});
        QTRY_COMPARE_WITH_TIMEOUT(got, (QList<int>{1025, 1034}), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(holder.keyPresses().contains(three), 5000);

        // Not even with NumLock on: the key was left out as a whole.
        typeKeys({"Num_Lock"});
        const auto numLockOff = qScopeGuard([] { typeKeys({"Num_Lock"}); });
        typeKeys({"3", "2"});
        QTRY_COMPARE_WITH_TIMEOUT(got, (QList<int>{1025, 1034, 1026}), 10000);
    }

    void x11NothingArrivesAfterUnregistering()
    {
        NEED_X();
        keys->registerAll();
        typeKeys({"1"});
        QTRY_COMPARE_WITH_TIMEOUT(got, QList<int>{1025}, 10000);

        keys->unregisterAll();
        QCOMPARE(keys->backend(), GlobalHotKeys::Backend::None);
        QVERIFY(!keys->isRegistered(1025));
        typeKeys({"1", "2"});
        // The keys now go where the focus is, like any other key.
        QTRY_COMPARE_WITH_TIMEOUT(other->text(), QString("12"), 10000);
        QCOMPARE(got, QList<int>{1025});
    }

    // Destroying the owner gives the keys back to the desktop.
    void x11DestroyingGivesTheKeysBack()
    {
        NEED_X();
        keys->registerAll();
        mainWindow.reset();
        keys = nullptr;
        typeKeys({"3"});
        QTRY_COMPARE_WITH_TIMEOUT(other->text(), QString("3"), 10000);
        QVERIFY(got.isEmpty());
    }

    // Without X: application-wide shortcuts of the same keys.
    void fallbackShortcuts_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("id");  // 0: nothing

        QTest::newRow("1") << int(Qt::Key_1) << int(Qt::NoModifier) << 1025;
        QTest::newRow("2") << int(Qt::Key_2) << int(Qt::NoModifier) << 1026;
        QTest::newRow("3") << int(Qt::Key_3) << int(Qt::NoModifier) << 1027;
        QTest::newRow("4") << int(Qt::Key_4) << int(Qt::NoModifier) << 1028;
        QTest::newRow("Ctrl+Space") << int(Qt::Key_Space) << int(Qt::ControlModifier) << 1034;
        QTest::newRow("5 is no hot key") << int(Qt::Key_5) << int(Qt::NoModifier) << 0;
        QTest::newRow("Ctrl+1 is no hot key") << int(Qt::Key_1) << int(Qt::ControlModifier) << 0;
        QTest::newRow("Space alone is no hot key") << int(Qt::Key_Space) << int(Qt::NoModifier) << 0;
    }
    void fallbackShortcuts()
    {
        NEED_NO_X();
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, id);

        keys->registerAll();
        QCOMPARE(keys->backend(), GlobalHotKeys::Backend::Shortcuts);
        for (int each : kAllIds)
            QVERIFY(keys->isRegistered(each));

        // Another window of the program is active, not the game's.
        auto* window = new QWidget;
        window->setAttribute(Qt::WA_DeleteOnClose);
        const auto closeIt = qScopeGuard([window] { window->close(); });
        showAndFocus(window);
        QTest::keyClick(window, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        runQueuedCalls();
        // (Two empty QList<int> are not compared: Qt 6.4 then hands memcmp a
        // null pointer, which the sanitizer build reports.)
        if (id)
            QCOMPARE(got, QList<int>{id});
        else
            QVERIFY(got.isEmpty());

        // And while the game's window is active.
        got.clear();
        showAndFocus(mainWindow.get());
        QTest::keyClick(mainWindow.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        runQueuedCalls();
        if (id)
            QCOMPARE(got, QList<int>{id});
        else
            QVERIFY(got.isEmpty());
    }

    void fallbackNothingArrivesAfterUnregistering()
    {
        NEED_NO_X();
        keys->registerAll();
        showAndFocus(mainWindow.get());
        QTest::keyClick(mainWindow.get(), Qt::Key_2);
        QTRY_COMPARE(got, QList<int>{1026});

        keys->unregisterAll();
        QCOMPARE(keys->backend(), GlobalHotKeys::Backend::None);
        QTest::keyClick(mainWindow.get(), Qt::Key_2);
        QTest::keyClick(mainWindow.get(), Qt::Key_Space, Qt::ControlModifier);
        runQueuedCalls();
        QCOMPARE(got, QList<int>{1026});
    }

    // A key pressed just before unregistering, whose call is still queued,
    // does not arrive afterwards.
    void aQueuedKeyDiesWithTheRegistration()
    {
        NEED_NO_X();
        keys->registerAll();
        showAndFocus(mainWindow.get());
        // Queued calls that reach the hot keys: the key's, then runQueuedCalls' own.
        struct CountCalls : QObject
        {
            int calls = 0;
            bool eventFilter(QObject*, QEvent* e) override
            {
                if (e->type() == QEvent::MetaCall)
                    ++calls;
                return false;
            }
        } count;
        keys->installEventFilter(&count);
        QTest::keyClick(mainWindow.get(), Qt::Key_3);
        QCOMPARE(count.calls, 0);  // its call is queued, not run
        keys->unregisterAll();
        runQueuedCalls();
        keys->removeEventFilter(&count);
        QCOMPARE(count.calls, 2);  // it was queued, and has run by now
        QVERIFY(got.isEmpty());
    }
};

QTEST_MAIN(TestGlobalHotKeys)
#include "tst_globalhotkeys.moc"
