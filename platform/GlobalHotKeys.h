#pragma once
// The game's system-wide hot keys: the digits 1 to 4 choose an answer and
// Ctrl+Space stops the speech, whichever program has the focus, so that a blind
// player need not find the game window.
//
//   id    key
//   1025  1            (the digit row; NumLock and CapsLock do not matter)
//   1026  2
//   1027  3
//   1028  4
//   1034  Ctrl+Space
//
// Use (the main window):
//
//     // FormCreate
//     HotKeys = new sor::GlobalHotKeys(this);
//     connect(HotKeys, &sor::GlobalHotKeys::hotKey, this, &TfrMain::HotKeyPressed);
//     HotKeys->registerAll();
//     // FormClose
//     HotKeys->unregisterAll();
//
// hotKey(id) arrives on the GUI thread as a queued call, like a message posted to
// the window: the handler may open a box or wait in a hold.
//
// On X11 each key is grabbed on the root window (with the CapsLock and NumLock
// variants), so the keys are taken from every program, this one included. A key
// that another program holds already is skipped silently, as a whole: the keys
// it did not get do not depend on the lock keys' state. Without X (offscreen,
// Wayland) the same keys are application-wide shortcuts of the window: they work
// while a window of the program is active and no modal window blocks it.
//
// The keyboard map is read when the keys are registered; a later change of the
// map is not followed.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <memory>

class QWidget;

namespace sor {

enum HotKeyId : int {
    HotKeyAnswer1 = 1025,
    HotKeyAnswer2 = 1026,
    HotKeyAnswer3 = 1027,
    HotKeyAnswer4 = 1028,
    HotKeySpeechStop = 1034,
};

class GlobalHotKeys : public QObject
{
    Q_OBJECT

public:
    enum class Backend {
        None,       // nothing registered
        X11,        // grabs on the X root window
        Shortcuts,  // application-wide shortcuts of the window
    };

    // `window` is the main window: the parent of this object and, without X,
    // of the shortcuts.
    explicit GlobalHotKeys(QWidget* window);
    // Unregisters what is still registered.
    ~GlobalHotKeys() override;

    // The five ids in table order.
    static QList<int> allIds();

    // Registers the five keys; a key held by another program is left out
    // without a word. Registering again first unregisters.
    void registerAll();
    // Gives the keys back. Nothing arrives afterwards, also not a key pressed
    // just before whose call is still queued.
    void unregisterAll();

    bool isRegistered(int id) const { return registered_.contains(id); }
    Backend backend() const { return backend_; }

signals:
    void hotKey(int id);

private:
    class X11Keys;

    void deliver(int id);

    QPointer<QWidget> window_;
    Backend backend_ = Backend::None;
    QSet<int> registered_;
    std::unique_ptr<X11Keys> x11_;
    QList<QPointer<QObject>> shortcuts_;
    quint64 generation_ = 0;  // bumped by unregisterAll: calls queued before are dropped
};

}  // namespace sor
