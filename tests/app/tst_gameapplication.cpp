// A failure that escapes every handler does not take the program down: a handled
// database error ends the action quietly, anything else is shown once.

#include <QTest>
#include <QTimer>

#include "app/GameApplication.h"
#include "data/DbErrors.h"
#include "support/MessageRecorder.h"

namespace {

class Thrower : public QObject
{
public:
    std::function<void()> onEvent;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User && onEvent)
            onEvent();
        return QObject::event(e);
    }
};

}  // namespace

class TestGameApplication : public QObject
{
    Q_OBJECT

private slots:
    void escapedFailures_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("shown");  // empty: nothing shown
        QTest::newRow("handled database error") << 0 << "";
        QTest::newRow("unhandled database error") << 1 << "Table 'x' doesn't exist";
        QTest::newRow("any other failure") << 2 << "something broke";
    }

    void escapedFailures()
    {
        QFETCH(int, kind);
        QFETCH(QString, shown);
        sortest::MessageRecorder messages;
        Thrower t;
        t.onEvent = [kind] {
            const sor::EDbError e(1146, 1146, QStringLiteral("Table 'x' doesn't exist"));
            if (kind == 0)
                throw sor::EDbAbort(e);
            if (kind == 1)
                throw e;
            throw std::runtime_error("something broke");
        };
        // Posted, so that it goes through the event loop like a click or a timer.
        QCoreApplication::postEvent(&t, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        if (shown.isEmpty()) {
            QVERIFY(messages.messages.isEmpty());
        } else {
            QCOMPARE(messages.messages.size(), 1);
            QVERIFY(messages.messages[0].plain);
            QCOMPARE(messages.messages[0].text, shown);
        }

        // The program goes on.
        bool ran = false;
        QTimer::singleShot(0, [&] { ran = true; });
        QTRY_VERIFY(ran);
    }
};

int main(int argc, char** argv)
{
    sor::GameApplication app(argc, argv);
    TestGameApplication t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_gameapplication.moc"
