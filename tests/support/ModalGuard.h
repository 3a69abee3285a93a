#pragma once
// A guard for a test that drives a modal window (exec()) from timers: if the
// window is still open when the guard's time runs out, a step that should have
// closed it failed. The guard then closes every modal window (again and again,
// so nested loops unwind too), and the test fails at once with the window's
// title instead of hanging until CTest kills it.
//
//   sortest::ModalGuard guard;               // before the exec()
//   QTimer::singleShot(0, [&] { ...; w.accept(); });
//   QCOMPARE(w.exec(), 1);
//   QVERIFY(guard.ok());                     // also failed by the destructor

#include <QObject>
#include <QString>
#include <QTimer>

namespace sortest {

class ModalGuard : public QObject
{
    Q_OBJECT

public:
    explicit ModalGuard(int timeoutMs = 15000);
    ~ModalGuard() override;

    bool ok() const { return !fired_; }
    bool fired() const { return fired_; }
    QString what() const { return what_; }   // the windows found open

private:
    void closeModalWindows();

    QTimer timer_;
    bool fired_ = false;
    bool reported_ = false;
    QString what_;
};

}  // namespace sortest
