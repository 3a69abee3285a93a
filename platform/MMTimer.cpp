#include "platform/MMTimer.h"

#include <QMetaObject>

#include "platform/MultimediaTimer.h"

using namespace sor::mmtimer;

TMMTimer::TMMTimer(QObject* AOwner)
    : QObject(AOwner)
{
    TimeCaps caps;
    if (!timeGetDevCaps(&caps))
        throw EMMTimerError("Can't get DevCaps for MMTimer");
    FMinPeriod = caps.wPeriodMin;
    FMaxPeriod = caps.wPeriodMax;
    FDelay = 1000;
    FResolution = 100;
    FEventMode = mmePeriodic;
    FEnabled = true;
}

TMMTimer::~TMMTimer()
{
    FEnabled = false;
    RestartTimer();
}

void TMMTimer::SetEnabled(bool Value)
{
    if (Value == FEnabled)
        return;
    FEnabled = Value;
    RestartTimer();
}

void TMMTimer::SetDelay(quint32 Value)
{
    if (Value == FDelay)
        return;
    FDelay = Value;
    RestartTimer();
}

void TMMTimer::SetResolution(quint32 Value)
{
    if (Value == FResolution)
        return;
    FResolution = Value;
    RestartTimer();
}

void TMMTimer::SetMode(TMMEventMode Value)
{
    if (Value == FEventMode)
        return;
    FEventMode = Value;
    RestartTimer();
}

void TMMTimer::SetOnTimer(TNotifyEvent Value)
{
    // The timer thread reads the handler while a timer runs: stop it before
    // the handler is replaced, not after.
    StopTimer();
    FonTimer = std::move(Value);
    RestartTimer();
}

void TMMTimer::StopTimer()
{
    if (FTimerID != 0) {
        timeKillEvent(FTimerID);
        FTimerID = 0;
    }
    // After the kill no tick of the old timer is in progress, so every tick
    // that saw the old count has already been handed over.
    FStops.fetch_add(1, std::memory_order_acq_rel);
}

void TMMTimer::RestartTimer()
{
    StopTimer();
    if (FDelay != 0 && FEnabled && FonTimer) {
        FTimerID = timeSetEvent(FDelay, FResolution, &TMMTimer::MMTimerProc,
                                reinterpret_cast<quintptr>(static_cast<QObject*>(this)),
                                static_cast<quint32>(FEventMode));
        if (FTimerID == 0)
            throw EMMTimerError("Can't start multimedia timer");
    }
}

void TMMTimer::MMTimerProc(quint32 /*uTimerID*/, quint32 /*uMessage*/, quintptr dwUser, quintptr /*dw1*/,
                           quintptr /*dw2*/)
{
    auto* timer = qobject_cast<TMMTimer*>(reinterpret_cast<QObject*>(dwUser));
    if (timer && timer->FonTimer)
        timer->FonTimer(timer);
}

TNotifyEvent TMMTimer::OnGuiThread(TNotifyEvent handler)
{
    return [handler = std::move(handler)](QObject* Sender) {
        auto* timer = qobject_cast<TMMTimer*>(Sender);
        if (!timer) {
            if (handler)
                handler(Sender);
            return;
        }
        const quint32 stops = timer->FStops.load(std::memory_order_acquire);
        // Posted to the timer itself: a queued call dies with its receiver, so
        // nothing runs for a timer that has been destroyed meanwhile.
        QMetaObject::invokeMethod(
            timer,
            [timer, stops, handler] {
                if (timer->FStops.load(std::memory_order_acquire) == stops && handler)
                    handler(timer);
            },
            Qt::QueuedConnection);
    };
}
