#include "platform/Hold.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

namespace sor {
namespace {
int holdDepth = 0;  // GUI thread only

struct HoldScope
{
    HoldScope() { ++holdDepth; }
    ~HoldScope() { --holdDepth; }
};
}  // namespace

bool PauseSeconds(QObject* owner, int seconds)
{
    if (seconds <= 0)
        return true;
    const QPointer<QObject> guard(owner);
    const HoldScope scope;
    QEventLoop loop;
    // A precise timer: a coarse one may end the hold up to 5 % early.
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    if (owner)
        QObject::connect(owner, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
    return !owner || !guard.isNull();
}

bool PauseActive()
{
    return holdDepth > 0;
}

}  // namespace sor
