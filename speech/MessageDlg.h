#pragma once
// Every message, warning and question to the player: a spoken modal box with
// Russian buttons, at most one at a time. The windows library provides the box;
// logic without windows calls it through this seam, tests record it.

#include <QString>
#include <functional>

class QObject;

namespace sor {

enum MsgButton : int {
    mbYes = 0x0001,
    mbNo = 0x0002,
    mbOK = 0x0004,
    mbCancel = 0x0008,
    mbAbort = 0x0010,
    mbRetry = 0x0020,
    mbIgnore = 0x0040,
    mbAll = 0x0080,
    mbNoToAll = 0x0100,
    mbYesToAll = 0x0200,
    mbHelp = 0x0400,
    mbClose = 0x0800,
};

enum MsgResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrClose = 8,
};

using MessageDlgImpl =
    std::function<int(QObject* owner, const QString& text, const QString& caption, int buttons)>;
void setMessageDlgImpl(MessageDlgImpl impl);

// Whether a message is on screen now (a call of MyMessageDlg has not returned):
// while the player reads or answers it, the game must not move on under it.
bool messageDlgOpen();

}  // namespace sor

// owner: the caller's window, or nullptr for the application window.
int MyMessageDlg(QObject* owner, const QString& text, const QString& caption, int buttons);
