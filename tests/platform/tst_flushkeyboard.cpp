// Discarding queued key strokes: posted key events queued before the flush
// never reach a widget, later ones do, and the keyboard works normally once
// the flush is over. Under Xvfb the same with keys really typed (xdotool)
// while the program was busy, shortcuts included. Built twice: with
// SOR_EXPECT_XCB it must run on X, without it offscreen.

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>
#include <QTest>
#include <QVBoxLayout>

#include <chrono>
#include <memory>
#include <thread>

#include "platform/FlushKeyboard.h"
#include "support/XInput.h"

using sortest::onX;
using sortest::xdotool;

namespace {

// A widget that writes down the keys it gets: "a" for a press, "^a" for a release.
class KeyRecorder : public QWidget
{
public:
    QStringList keys;

protected:
    void keyPressEvent(QKeyEvent* e) override { keys << e->text(); }
    void keyReleaseEvent(QKeyEvent* e) override { keys << "^" + e->text(); }
};

void postKey(QWidget* to, Qt::Key key, const QString& text)
{
    QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
}

}  // namespace

class TestFlushKeyboard : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> window;
    KeyRecorder* recorder = nullptr;
    QLineEdit* edit = nullptr;
    QShortcut* shortcut = nullptr;
    int shortcutHits = 0;

private slots:
    void initTestCase()
    {
#ifdef SOR_EXPECT_XCB
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
#else
        QVERIFY(!onX());
#endif
    }

    void init()
    {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        recorder = new KeyRecorder;
        recorder->setFocusPolicy(Qt::StrongFocus);
        edit = new QLineEdit;
        layout->addWidget(recorder);
        layout->addWidget(edit);
        shortcutHits = 0;
        shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_B), window.get());
        connect(shortcut, &QShortcut::activated, this, [this] { ++shortcutHits; });
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void cleanup() { window.reset(); }

    void postedKeysBeforeTheFlushNeverArrive()
    {
        postKey(recorder, Qt::Key_A, "a");
        postKey(edit, Qt::Key_B, "b");
        sor::FlushKeyboardMessages();
        postKey(recorder, Qt::Key_C, "c");  // after the flush: meant to arrive
        postKey(edit, Qt::Key_D, "d");
        QTest::qWait(100);

        QCOMPARE(recorder->keys, (QStringList{"c", "^c"}));
        QCOMPARE(edit->text(), QString("d"));
    }

    // The flush ends by itself: the keyboard and the shortcuts work again,
    // also after several flushes in a row.
    void theKeyboardWorksAfterwards()
    {
        for (int i = 0; i < 3; ++i)
            sor::FlushKeyboardMessages();
        QTest::qWait(100);

        recorder->setFocus();
        QTest::keyClick(recorder, Qt::Key_E);
        QTest::keyClick(window.get(), Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(recorder->keys, (QStringList{"e", "^e"}));
        QCOMPARE(shortcutHits, 1);
    }

    // Keys typed while the program was busy wait in the window system's
    // queue; flushed, neither the typed text nor a typed shortcut acts.
    void typedKeysBeforeTheFlushNeverArrive()
    {
        if (!onX())
            QSKIP("needs an X server to type on");
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());

        // The program is busy: xdotool types meanwhile.
        xdotool({"type", "--delay", "20", "xyz"});
        xdotool({"key", "ctrl+b"});
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        sor::FlushKeyboardMessages();
        QTest::qWait(300);
        QCOMPARE(edit->text(), QString());
        QCOMPARE(shortcutHits, 0);

        xdotool({"type", "--delay", "20", "ok"});
        QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QString("ok"), 10000);
        xdotool({"key", "ctrl+b"});
        QTRY_COMPARE_WITH_TIMEOUT(shortcutHits, 1, 10000);
    }
};

QTEST_MAIN(TestFlushKeyboard)
#include "tst_flushkeyboard.moc"
