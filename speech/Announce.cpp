#include "speech/Announce.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

#include "speech/LabeledEdit.h"
#include "speech/SpeechRoutines.h"

namespace sor {
namespace {

// Runs `what` whenever the watched widget receives one of the events.
class EventHook : public QObject
{
public:
    EventHook(QObject* watched, std::function<void(QEvent*)> what) : QObject(watched), what_(std::move(what))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        what_(event);
        return false;  // the control goes on handling the event as usual
    }

private:
    std::function<void(QEvent*)> what_;
};

// Whether the player has heard where the keyboard is in a window since it was
// last shown: its first control is announced as the window opens; when the
// window gets the keyboard back (a modal window over it closed, the player
// switched back from another program) the same control is not announced again.
class WindowHeard : public QObject
{
public:
    explicit WindowHeard(QWidget* window) : QObject(window)
    {
        setObjectName(QStringLiteral("sorWindowHeard"));
        window->installEventFilter(this);
    }

    static WindowHeard* of(QWidget* window)
    {
        if (auto* memo = window->findChild<WindowHeard*>(QStringLiteral("sorWindowHeard"), Qt::FindDirectChildrenOnly))
            return memo;
        return new WindowHeard(window);
    }

    bool heard = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            heard = false;  // shown again, it opens as new
        return false;
    }
};

bool isFocusArrival(QWidget* widget, QEvent* event)
{
    if (event->type() != QEvent::FocusIn)
        return false;
    // A dialog being shown sends its first control a FocusIn of its own before
    // the window is activated and the control really gets the focus; only the
    // real one is announced.
    if (!widget->hasFocus())
        return false;
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason)
        return false;  // back from its own drop-down list or a menu
    WindowHeard* window = WindowHeard::of(widget->window());
    const bool known = window->heard;
    window->heard = true;
    // The window getting the keyboard back is no move of the focus.
    return !(reason == Qt::ActiveWindowFocusReason && known);
}

QString checkState(const QCheckBox* box)
{
    return box->isChecked() ? QStringLiteral("Отмечено. ") : QStringLiteral("Неотмечено. ");
}

}  // namespace

void onFocusArrival(QWidget* widget, std::function<void()> announce)
{
    new EventHook(widget, [widget, announce = std::move(announce)](QEvent* e) {
        if (isFocusArrival(widget, e))
            announce();
    });
}

void KeptFocus::note(QWidget* window)
{
    if (window && window->focusWidget())
        focus_.append(window->focusWidget());
}

void KeptFocus::disable(const QList<QWidget*>& windows)
{
    for (QWidget* w : windows)
        note(w);
    for (QWidget* w : windows)
        w->setEnabled(false);
}

void KeptFocus::giveBack()
{
    for (const QPointer<QWidget>& control : std::as_const(focus_))
        if (control && control->isEnabled() && control->isVisible())
            control->setFocus(Qt::ActiveWindowFocusReason);
    focus_.clear();
}

void speakAnnouncement(const QStringList& phrases)
{
    for (qsizetype i = 0; i < phrases.size(); ++i)
        sayPhrase(phrases.at(i), i == 0, Phrase::Shown);
}

void announceButton(QAbstractButton* button)
{
    onFocusArrival(button, [button] { speakAnnouncement({QStringLiteral("Кнопка ") + button->text()}); });
}

void announceMessageBoxButton(QAbstractButton* button)
{
    onFocusArrival(button, [button] { sayPhrase(QStringLiteral("Кнопка ") + button->text(), false, Phrase::Shown); });
}

void announceEdit(TLabeledEdit* edit)
{
    onFocusArrival(edit->lineEdit(), [edit] {
        speakAnnouncement({QStringLiteral("Редактор ") + edit->caption(), edit->text()});
    });
}

void announceCheckBox(QCheckBox* box, std::function<bool()> holdBack)
{
    onFocusArrival(box, [box] { speakAnnouncement({QStringLiteral("Флажок. ") + box->text(), checkState(box)}); });
    QObject::connect(box, &QCheckBox::toggled, box, [box, holdBack = std::move(holdBack)] {
        if (holdBack && holdBack())
            return;
        speakAnnouncement({QStringLiteral("Флажок. ") + box->text() + checkState(box)});
    });
}

void announceHeading(QWidget* window, std::function<QString()> heading, HeadingWhen when)
{
    const QEvent::Type type = when == HeadingWhen::Shown ? QEvent::Show : QEvent::WindowActivate;
    new EventHook(window, [type, heading = std::move(heading)](QEvent* e) {
        if (e->type() == type)
            speakAnnouncement({heading()});
    });
}

void echoTypedCharacters(QLineEdit* edit)
{
    new EventHook(edit, [](QEvent* e) {
        if (e->type() != QEvent::KeyPress)
            return;
        const auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            return;  // moves the focus, types nothing
        for (QChar c : key->text()) {
            const char16_t code = c.unicode();
            if (code == 8 || code == 13 || code == 0)
                continue;
            sayPhrase(KeyCharToSpeech(c), true, Phrase::Shown);
        }
    });
}

void echoTypedCharacters(TLabeledEdit* edit)
{
    echoTypedCharacters(edit->lineEdit());
}

QString menuItemPhrase(const QString& caption, const QString& shortcut, bool enabled, bool checked)
{
    QString state;
    if (!enabled)
        state = QStringLiteral(" выключено. ");
    if (checked)
        state = QStringLiteral(" отмечено. ");
    return caption + QLatin1Char(' ') + shortcut + state;
}

QString shortcutText(const QKeySequence& shortcut)
{
    if (shortcut.isEmpty())
        return QString();
    const QKeyCombination first = shortcut[0];
    const Qt::KeyboardModifiers mods = first.keyboardModifiers();
    QString text;
    if (mods & Qt::ShiftModifier)
        text += QStringLiteral("Shift+");
    if (mods & Qt::ControlModifier)
        text += QStringLiteral("Ctrl+");
    if (mods & Qt::AltModifier)
        text += QStringLiteral("Alt+");
    return text + QKeySequence(first.key()).toString(QKeySequence::PortableText);
}

void announceMenuItem(const QAction* item)
{
    const QString shortcut = shortcutText(item->shortcut());
    speakAnnouncement({menuItemPhrase(item->text(), shortcut, item->isEnabled(), item->isChecked())});
}

}  // namespace sor
