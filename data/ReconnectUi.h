#pragma once
// What the data module asks of the windows when the connection drops: the
// reconnect window, and the other windows disabled meanwhile. The windows library
// installs the real ones (sor::installUiServices); without it the data module keeps
// a stand-in object as its window and disables nothing.

#include <QList>
#include <QPointer>
#include <memory>

class QObject;

namespace sor {

class ReconnectUi
{
public:
    virtual ~ReconnectUi() = default;

    // Creates the reconnect window, owned by the application, not shown yet; it
    // remembers the window that is active now, to stay in front of it.
    virtual QObject* createReconnectWindow() = 0;
    // Disables every other visible, enabled window of the program; returns them.
    virtual QList<QPointer<QObject>> disableOtherWindows(QObject* reconnectWindow) = 0;
    // Shows the window without waiting for it, in front of the remembered window,
    // and paints it at once.
    virtual void showReconnectWindow(QObject* reconnectWindow) = 0;
    virtual void enableWindows(const QList<QPointer<QObject>>& windows) = 0;
    // Closes and destroys the window.
    virtual void closeReconnectWindow(QObject* reconnectWindow) = 0;
};

void setReconnectUi(std::unique_ptr<ReconnectUi> ui);
ReconnectUi& reconnectUi();  // the installed one, or the stand-in

}  // namespace sor
