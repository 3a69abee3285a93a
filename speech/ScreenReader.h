#pragma once
// What the player's screen reader gets from the game, beside the windows it
// reads by itself.
//
// - The game's own words while its speech is off: each phrase becomes a
//   notification in the window the player is in (a child object with the role
//   of a notification, hidden, given the phrase and shown), which the screen
//   reader speaks and brails in order, queued behind what it is saying.
// - A password edit's characters, typed, deleted or read, reach it masked.
// - Pictures that only decorate are left out of what it reads.

#include <QString>

class QWidget;

namespace sor {

// Installs the notices as the screen reader's outlet of the speech routines,
// and the password mask. Done once; later calls change nothing.
void installScreenReaderRoute();

// The password mask alone (every password edit installs it).
void installPasswordMask();

// Gives the phrase to the screen reader now, as a notification.
void noticeToScreenReader(const QString& text);

// How long a notice stays in the window: the screen reader reads its text
// after it is shown, when it comes to it in its queue.
constexpr int kNoticeLifeMs = 30000;

// The picture is decoration only: no name, never showing, nothing to read.
void hideFromScreenReader(QWidget* picture);

// The character a password edit's characters reach the screen reader as.
constexpr char16_t kPasswordMask = u'\u2022';

}  // namespace sor
