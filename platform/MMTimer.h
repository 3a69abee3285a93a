#pragma once
// TMMTimer: a small non-visual component that calls OnTimer at a fixed period
// (or once after a delay) through the multimedia timer service, whose timing
// does not depend on the GUI message loop. The game's tour clock MMTimer1 is the
// one instance: it counts the tour's seconds down once per second.
//
// Use (the main window):
//
//     MMTimer1 = new TMMTimer(this);              // defaults: Delay 1000, periodic, Enabled
//     MMTimer1->SetEnabled(false);                // as stored in the form: starts nothing
//     MMTimer1->SetOnTimer(TMMTimer::OnGuiThread(
//         [this](QObject* Sender) { MMTimer1Timer(Sender); }));
//     ...
//     MMTimer1->SetEnabled(true);                 // the countdown runs: a tick every second
//
// Threads: OnTimer is called on the timer thread, with this component as the
// sender. A handler that touches windows is wrapped in OnGuiThread, which hands
// each tick to the GUI thread by a queued call. Properties are set from the
// thread the component lives in (the GUI thread).
//
// The invariant after every property change: a platform timer runs (TimerID()
// != 0) only while Delay != 0, Enabled is true and OnTimer is assigned, and a
// running timer has been replaced by one with the new settings, so its next tick
// comes a full Delay after the change. Setting Delay, Resolution, Mode or Enabled
// to the value it already has changes nothing; assigning OnTimer always restarts.
//
// Errors: EMMTimerError "Can't get DevCaps for MMTimer" from the constructor,
// "Can't start multimedia timer" from any setter when the platform refuses the
// timer (for instance a Delay above MaxPeriod); the timer then stays stopped
// and the new value stays stored.

#include <QObject>

#include <atomic>
#include <functional>
#include <stdexcept>

// A handler taking the sender object.
using TNotifyEvent = std::function<void(QObject* Sender)>;

enum TMMEventMode {
    mmeOneShort = 0,  // fire once, Delay ms after the start
    mmePeriodic = 1,  // fire every Delay ms
};

class EMMTimerError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class TMMTimer : public QObject
{
    Q_OBJECT

public:
    // Reads the device capabilities and sets the defaults; starts no timer.
    explicit TMMTimer(QObject* AOwner = nullptr);
    // Stops the running timer first: when the destructor has begun no new call
    // of OnTimer starts, and one in progress on the timer thread is waited for.
    ~TMMTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);

    quint32 Delay() const { return FDelay; }
    void SetDelay(quint32 Value);

    quint32 Resolution() const { return FResolution; }
    void SetResolution(quint32 Value);

    TMMEventMode Mode() const { return FEventMode; }
    void SetMode(TMMEventMode Value);

    const TNotifyEvent& OnTimer() const { return FonTimer; }
    void SetOnTimer(TNotifyEvent Value);

    // The device capabilities, informative only: Delay and Resolution are not
    // compared with them (the platform refuses what it cannot do).
    quint32 MinPeriod() const { return FMinPeriod; }
    quint32 MaxPeriod() const { return FMaxPeriod; }

    // The running platform timer's id; 0 when none runs. A one-shot timer keeps
    // its id after it has fired, until the next restart.
    quint32 TimerID() const { return FTimerID; }

    // Wraps a handler so that each tick runs on the thread the ticking TMMTimer
    // lives in (the GUI thread), in the order the ticks came, with that timer as
    // the sender. A tick still waiting there when its timer is stopped,
    // restarted or destroyed is dropped, so a countdown never moves after it
    // has been switched off. Called with a sender that is not a TMMTimer, the
    // wrapper calls the handler at once.
    static TNotifyEvent OnGuiThread(TNotifyEvent handler);

protected:
    // Stops the running platform timer, if any, and starts one with the current
    // settings when Delay != 0, Enabled and OnTimer is assigned.
    void RestartTimer();

private:
    static void MMTimerProc(quint32 uTimerID, quint32 uMessage, quintptr dwUser, quintptr dw1,
                            quintptr dw2);
    void StopTimer();

    quint32 FMinPeriod = 0;
    quint32 FMaxPeriod = 0;
    quint32 FDelay = 0;
    quint32 FResolution = 0;
    quint32 FTimerID = 0;
    TMMEventMode FEventMode = mmePeriodic;
    TNotifyEvent FonTimer;
    bool FEnabled = false;

    // Counts the stops, so that a tick handed to the GUI thread can tell
    // whether the timer that produced it is still the running one.
    std::atomic<quint32> FStops{0};
};
