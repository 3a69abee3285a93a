#pragma once
// The spoken focus announcements every window follows, each attached to a
// control in one line:
//
//   sor::announceButton(btOK);                   // "Кнопка ОК"
//   sor::announceEdit(ledLogin);                 // "Редактор E-mail", then the text
//   sor::echoTypedCharacters(ledLogin);          // each typed character
//   sor::announceCheckBox(chAutoLogin, [this] { return bSettingUp; });
//   sor::announceHeading(this, [this] { return Label1->text(); });
//
// An announcement is one or more phrases: the first cuts off whatever is being
// said (stop-first), the later ones are queued behind it; a blank phrase says
// nothing. Captions and texts are read when the announcement is spoken, so a
// caption changed at run time is heard as changed. Focus coming back from a
// closed drop-down list or menu is not announced again, nor is the control that
// has the keyboard when its window gets it back: after a modal window over it
// closed, or when the player switches back from another program. The first
// control of a window that opens is announced (once per showing).
//
// The announcers are owned by the control (or window) they are attached to.

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class QAbstractButton;
class QAction;
class QCheckBox;
class QKeySequence;
class QLineEdit;
class QWidget;
class TLabeledEdit;

namespace sor {

// Disabling a window drops its focus control, and those of its child dialogs
// too: note the focus of every window before any of them is disabled, and give
// it back once they are enabled again, silently, as when the window gets the
// keyboard back. A control that has gone, hidden or disabled meanwhile is left.
class KeptFocus
{
public:
    // Notes the focus of every window, then disables them all.
    void disable(const QList<QWidget*>& windows);
    void giveBack();

private:
    void note(QWidget* window);

    QList<QPointer<QWidget>> focus_;
};

// Speaks the phrases of one announcement: the first stop-first, the rest queued.
// Announcements voice what the window shows, so a screen reader, which reads
// the window itself, is not sent them (Phrase::Shown).
void speakAnnouncement(const QStringList& phrases);

// Runs `announce` whenever the widget receives the keyboard focus (not when
// the focus merely comes back from its own drop-down list or a menu). For
// controls with forms of their own, such as the voice list.
void onFocusArrival(QWidget* widget, std::function<void()> announce);

// A button gets the focus: "Кнопка " + its caption.
void announceButton(QAbstractButton* button);

// A button of the spoken message box gets the focus: the same phrase, queued
// behind the message instead of cutting it off.
void announceMessageBoxButton(QAbstractButton* button);

// A labelled edit gets the focus: "Редактор " + the label's caption, then the
// edit's text (a password edit's too: the player hears what was typed).
void announceEdit(TLabeledEdit* edit);

// A check box gets the focus: "Флажок. " + caption, then "Отмечено. " or
// "Неотмечено. ". It is ticked or cleared: "Флажок. " + caption + the new state
// in one phrase, unless holdBack() says the window is setting it up itself.
void announceCheckBox(QCheckBox* box, std::function<bool()> holdBack = {});

// A window heading, spoken (stop-first) when the window is shown, or each time
// it is activated.
enum class HeadingWhen { Shown, Activated };
void announceHeading(QWidget* window, std::function<QString()> heading, HeadingWhen when = HeadingWhen::Shown);

// Each character typed in the edit is spoken through KeyCharToSpeech, cutting
// off the speech in progress. Backspace, Enter and the null character are not
// spoken and stop nothing; neither do keys that type nothing (arrows, Tab).
void echoTypedCharacters(QLineEdit* edit);
void echoTypedCharacters(TLabeledEdit* edit);

// The phrase of a highlighted menu item: caption, a blank, the shortcut text
// and " выключено. " or " отмечено. " (a checked item says only the latter).
// The speaking menus decide when it is spoken.
QString menuItemPhrase(const QString& caption, const QString& shortcut, bool enabled, bool checked);
// A shortcut as the menus say it: "Shift+", "Ctrl+", "Alt+" in this order, then
// the key ("Ctrl+T", "Ctrl+Alt+S", "F1"); empty without one.
QString shortcutText(const QKeySequence& shortcut);
void announceMenuItem(const QAction* item);

}  // namespace sor
