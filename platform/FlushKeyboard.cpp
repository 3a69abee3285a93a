#include "platform/FlushKeyboard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>

#ifdef SORVENTA_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace sor {
namespace {

const QEvent::Type kRoundDone = static_cast<QEvent::Type>(QEvent::registerEventType());

class RoundEvent : public QEvent
{
public:
    RoundEvent(quint64 flush, int round)
        : QEvent(kRoundDone), flush(flush), round(round)
    {
    }
    const quint64 flush;
    const int round;
};

// Swallows key events application-wide while a flush is under way.
class KeyFlusher : public QObject
{
public:
    explicit KeyFlusher(QObject* parent)
        : QObject(parent)
    {
    }

    void start()
    {
        ++flush_;
        if (!active_) {
            QCoreApplication::instance()->installEventFilter(this);
            active_ = true;
        }
        postRound(1);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Accepted and eaten: the key is then not tried as a shortcut but
            // delivered as a plain key press, which is eaten below.
            event->accept();
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            // Only what the keyboard typed; a key event that code sends or
            // posts after the flush is meant to arrive.
            return event->spontaneous();
        default:
            return QObject::eventFilter(watched, event);
        }
    }

    void customEvent(QEvent* event) override
    {
        if (event->type() != kRoundDone)
            return;
        const auto* done = static_cast<RoundEvent*>(event);
        if (done->flush != flush_ || !active_)
            return;  // a later flush has started its own rounds
        if (done->round < 2) {
            postRound(done->round + 1);
            return;
        }
        QCoreApplication::instance()->removeEventFilter(this);
        active_ = false;
    }

private:
    void postRound(int round)
    {
        // Low priority: behind every event already posted.
        QCoreApplication::postEvent(this, new RoundEvent(flush_, round), Qt::LowEventPriority);
    }

    quint64 flush_ = 0;
    bool active_ = false;
};

// Makes the keys that the X server has already sent part of this program's
// queue: after a round trip every event sent before its reply has been read.
void syncWithWindowSystem()
{
#ifdef SORVENTA_HAVE_XCB
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !qGuiApp)
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr)
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
#endif
}

}  // namespace

void FlushKeyboardMessages()
{
    static QPointer<KeyFlusher> flusher;
    auto* app = QCoreApplication::instance();
    if (!app)
        return;
    // Key events posted to the queue (rather than typed) are removed at once.
    QCoreApplication::removePostedEvents(nullptr, QEvent::KeyPress);
    QCoreApplication::removePostedEvents(nullptr, QEvent::KeyRelease);
    QCoreApplication::removePostedEvents(nullptr, QEvent::ShortcutOverride);
    // Typed keys wait in the window system's queue: swallow them until that
    // queue has been worked through.
    syncWithWindowSystem();
    if (!flusher)
        flusher = new KeyFlusher(app);
    flusher->start();
}

}  // namespace sor
