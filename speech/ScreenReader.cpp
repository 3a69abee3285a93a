#include "speech/ScreenReader.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "speech/SpeechRoutines.h"

namespace sor {
namespace {

const char* const kNoticeProperty = "sorNotice";
const char* const kHiddenProperty = "sorHiddenFromScreenReader";

// A notice: the screen reader reads its name as the notification's text.
class NoticeAccessible : public QAccessibleWidget
{
public:
    explicit NoticeAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Notification) {}
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? widget()->accessibleName() : QString();
    }
};

// A picture that only decorates: nameless and never showing.
class HiddenAccessible : public QAccessibleWidget
{
public:
    explicit HiddenAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Graphic) {}
    QString text(QAccessible::Text) const override { return QString(); }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        s.focusable = false;
        return s;
    }
};

QAccessibleInterface* markedInterface(const QString&, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* w = static_cast<QWidget*>(object);
    if (w->property(kNoticeProperty).toBool())
        return new NoticeAccessible(w);
    if (w->property(kHiddenProperty).toBool())
        return new HiddenAccessible(w);
    return nullptr;
}

void installFactory()
{
    static bool done = false;
    if (!done) {
        done = true;
        QAccessible::installFactory(&markedInterface);
    }
}

// An interface made before the widget was marked (a screen reader may ask as
// soon as it exists) is the plain one: dropped, the next question makes the
// marked one.
template <class Marked>
void renewInterface(QWidget* w)
{
    if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w))
        if (!dynamic_cast<Marked*>(iface))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}

// ---- the password mask ---------------------------------------------------------

QAccessible::UpdateHandler gNextHandler = nullptr;
void maskPasswords(QAccessibleEvent* event);

void passOn(QAccessibleEvent* event)
{
    if (gNextHandler) {
        gNextHandler(event);
        return;
    }
    // To the platform's bridge, as without a handler.
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(&maskPasswords);
}

QString masked(const QString& text)
{
    return QString(text.size(), QChar(kPasswordMask));
}

void maskPasswords(QAccessibleEvent* event)
{
    auto* edit = qobject_cast<QLineEdit*>(event->object());
    if (!edit || edit->echoMode() == QLineEdit::Normal) {
        passOn(event);
        return;
    }
    switch (event->type()) {
    case QAccessible::TextInserted: {
        const auto* e = static_cast<QAccessibleTextInsertEvent*>(event);
        QAccessibleTextInsertEvent m(edit, e->changePosition(), masked(e->textInserted()));
        m.setCursorPosition(e->cursorPosition());
        passOn(&m);
        return;
    }
    case QAccessible::TextRemoved: {
        const auto* e = static_cast<QAccessibleTextRemoveEvent*>(event);
        QAccessibleTextRemoveEvent m(edit, e->changePosition(), masked(e->textRemoved()));
        m.setCursorPosition(e->cursorPosition());
        passOn(&m);
        return;
    }
    case QAccessible::TextUpdated: {
        const auto* e = static_cast<QAccessibleTextUpdateEvent*>(event);
        QAccessibleTextUpdateEvent m(edit, e->changePosition(), masked(e->textRemoved()),
                                     masked(e->textInserted()));
        m.setCursorPosition(e->cursorPosition());
        passOn(&m);
        return;
    }
    default:
        passOn(event);
        return;
    }
}

// ---- the notices ---------------------------------------------------------------

// Where the player is: the window that has the keyboard, else (the digits
// work while another program has it) a modal window of the game, else any
// window of it that shows. Never a disabled one (a message box is opening
// over it): the screen reader passes over what happens there.
QWidget* noticeHost()
{
    if (QWidget* w = QApplication::activeModalWidget(); w && w->isVisible() && w->isEnabled())
        return w;
    if (QWidget* w = QApplication::activeWindow(); w && w->isEnabled())
        return w;
    QWidget* any = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || !w->isEnabled() || w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip)
            continue;
        if (w->isModal())
            return w;
        if (!any)
            any = w;
    }
    return any;
}

// Phrases said while no window of the game shows, for the next one that does.
QStringList& waiting()
{
    static QStringList list;
    return list;
}

void post(QWidget* host, const QString& text)
{
    // One object per phrase: the screen reader reads a notice's text when it
    // comes to it, and by then the next phrase may have been given.
    auto* notice = new QWidget(host);
    notice->setObjectName(QStringLiteral("sorNotice"));
    notice->setProperty(kNoticeProperty, true);
    notice->setAttribute(Qt::WA_TransparentForMouseEvents);
    notice->setFocusPolicy(Qt::NoFocus);
    notice->setGeometry(0, 0, 1, 1);
    notice->setAccessibleName(text);
    renewInterface<NoticeAccessible>(notice);
    notice->show();
    QTimer::singleShot(kNoticeLifeMs, notice, &QObject::deleteLater);
}

void postWaiting()
{
    QWidget* host = noticeHost();
    if (!host) {
        QTimer::singleShot(100, qApp, &postWaiting);
        return;
    }
    for (const QString& text : std::exchange(waiting(), {}))
        post(host, text);
}

}  // namespace

void installPasswordMask()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    gNextHandler = QAccessible::installUpdateHandler(&maskPasswords);
}

void installScreenReaderRoute()
{
    installFactory();
    installPasswordMask();
    if (!screenReaderOutlet())
        setScreenReaderOutlet(&noticeToScreenReader);
}

void noticeToScreenReader(const QString& text)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    installFactory();
    QWidget* host = waiting().isEmpty() ? noticeHost() : nullptr;
    if (host) {
        post(host, text);
        return;
    }
    waiting().append(text);
    if (waiting().size() == 1)
        QTimer::singleShot(100, qApp, &postWaiting);
}

void hideFromScreenReader(QWidget* picture)
{
    installFactory();
    picture->setProperty(kHiddenProperty, true);
    renewInterface<HiddenAccessible>(picture);
}

}  // namespace sor
