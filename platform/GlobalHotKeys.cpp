#include "platform/GlobalHotKeys.h"

#include <QGuiApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

#ifdef SORVENTA_HAVE_XCB
#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>
#include <xcb/xproto.h>

#include <algorithm>
#include <cstdlib>
#include <vector>
#endif

namespace sor {
namespace {

struct KeySpec
{
    int id;
    quint32 keysym;           // X keysym
    int qtKey;                // the same key for a shortcut
    bool control;
};

// XK_1 .. XK_4 and XK_space.
const KeySpec kKeys[] = {
    {HotKeyAnswer1, 0x0031, Qt::Key_1, false},
    {HotKeyAnswer2, 0x0032, Qt::Key_2, false},
    {HotKeyAnswer3, 0x0033, Qt::Key_3, false},
    {HotKeyAnswer4, 0x0034, Qt::Key_4, false},
    {HotKeySpeechStop, 0x0020, Qt::Key_Space, true},
};

}  // namespace

#ifdef SORVENTA_HAVE_XCB

// The keys grabbed on the X server, and the filter that reads them.
class GlobalHotKeys::X11Keys : public QAbstractNativeEventFilter
{
public:
    X11Keys(GlobalHotKeys* owner, xcb_connection_t* connection)
        : owner_(owner), conn_(connection)
    {
        const xcb_setup_t* setup = xcb_get_setup(conn_);
        for (auto it = xcb_setup_roots_iterator(setup); it.rem; xcb_screen_next(&it))
            roots_.push_back(it.data->root);
    }

    ~X11Keys() override { ungrabAll(); }

    // Grabs the keys; returns the ids that this program now holds.
    QSet<int> grabAll()
    {
        QSet<int> held;
        if (!readKeyboardMap())
            return held;
        for (const KeySpec& spec : kKeys) {
            const xcb_keycode_t code = keycodeOf(spec.keysym);
            if (code == 0)
                continue;  // no such key on this keyboard
            const quint16 mods = spec.control ? XCB_MOD_MASK_CONTROL : 0;
            std::vector<Grab> grabs;
            std::vector<xcb_void_cookie_t> cookies;
            for (xcb_window_t root : roots_)
                for (quint16 lock : lockVariants()) {
                    grabs.push_back({spec.id, code, quint16(mods | lock), root});
                    cookies.push_back(xcb_grab_key_checked(conn_, 0, root, mods | lock, code,
                                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
                }
            // A key that another program holds in any variant is left out as a
            // whole: the player should not find it working only with NumLock on.
            bool refused = false;
            std::vector<Grab> got;
            for (size_t i = 0; i < cookies.size(); ++i) {
                if (xcb_generic_error_t* error = xcb_request_check(conn_, cookies[i])) {
                    refused = true;
                    std::free(error);
                } else {
                    got.push_back(grabs[i]);
                }
            }
            if (refused) {
                for (const Grab& g : got)
                    xcb_ungrab_key(conn_, g.code, g.root, g.mods);
                continue;
            }
            grabs_.insert(grabs_.end(), got.begin(), got.end());
            keys_.push_back({spec.id, code, mods});
            held.insert(spec.id);
        }
        xcb_flush(conn_);
        return held;
    }

    void ungrabAll()
    {
        // After the application has gone its connection is closed, and the
        // server has dropped the grabs with it.
        if (!grabs_.empty() && QGuiApplication::instance()) {
            for (const Grab& g : grabs_)
                xcb_ungrab_key(conn_, g.code, g.root, g.mods);
            xcb_flush(conn_);
        }
        grabs_.clear();
        keys_.clear();
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (keys_.empty() || eventType != "xcb_generic_event_t")
            return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        const quint8 type = event->response_type & 0x7f;
        if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
            return false;
        // Key press and key release events have the same layout.
        auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
        if (std::find(roots_.begin(), roots_.end(), key->event) == roots_.end())
            return false;
        const quint16 mods = key->state & kModifierBits & ~(XCB_MOD_MASK_LOCK | numLock_);
        for (const Key& k : keys_) {
            if (k.code != key->detail)
                continue;
            if (type == XCB_KEY_RELEASE)
                return true;  // the end of a grabbed key: nobody else's business
            if (k.mods == mods) {
                owner_->deliver(k.id);
                return true;
            }
        }
        return false;
    }

private:
    struct Grab
    {
        int id;
        xcb_keycode_t code;
        quint16 mods;
        xcb_window_t root;
    };
    struct Key
    {
        int id;
        xcb_keycode_t code;
        quint16 mods;
    };

    static constexpr quint16 kModifierBits = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_CONTROL
        | XCB_MOD_MASK_1 | XCB_MOD_MASK_2 | XCB_MOD_MASK_3 | XCB_MOD_MASK_4 | XCB_MOD_MASK_5;
    static constexpr quint32 kNumLockKeysym = 0xff7f;  // XK_Num_Lock

    std::vector<quint16> lockVariants() const
    {
        return {0, XCB_MOD_MASK_LOCK, numLock_, quint16(XCB_MOD_MASK_LOCK | numLock_)};
    }

    // Reads the keysyms of every keycode, and which modifier NumLock sets.
    bool readKeyboardMap()
    {
        const xcb_setup_t* setup = xcb_get_setup(conn_);
        minKeycode_ = setup->min_keycode;
        const int count = setup->max_keycode - setup->min_keycode + 1;
        xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
            conn_, xcb_get_keyboard_mapping(conn_, setup->min_keycode, quint8(count)), nullptr);
        if (!map)
            return false;
        perKeycode_ = map->keysyms_per_keycode;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
        keysyms_.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(map));
        std::free(map);

        numLock_ = XCB_MOD_MASK_2;  // where NumLock nearly always is
        if (xcb_get_modifier_mapping_reply_t* mods =
                xcb_get_modifier_mapping_reply(conn_, xcb_get_modifier_mapping(conn_), nullptr)) {
            const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mods);
            const int per = mods->keycodes_per_modifier;
            for (int mod = 0; mod < 8; ++mod)
                for (int i = 0; i < per; ++i)
                    if (keycodeHas(codes[mod * per + i], kNumLockKeysym))
                        numLock_ = quint16(1u << mod);
            std::free(mods);
        }
        return perKeycode_ > 0;
    }

    bool keycodeHas(xcb_keycode_t code, quint32 keysym) const
    {
        if (code < minKeycode_ || perKeycode_ == 0)
            return false;
        const size_t base = size_t(code - minKeycode_) * perKeycode_;
        for (size_t col = 0; col < perKeycode_ && base + col < keysyms_.size(); ++col)
            if (keysyms_[base + col] == keysym)
                return true;
        return false;
    }

    // The key that produces keysym without Shift, else any key that has it.
    xcb_keycode_t keycodeOf(quint32 keysym) const
    {
        if (perKeycode_ == 0)
            return 0;
        const size_t count = keysyms_.size() / perKeycode_;
        for (size_t i = 0; i < count; ++i)
            if (keysyms_[i * perKeycode_] == keysym)
                return xcb_keycode_t(minKeycode_ + i);
        for (size_t i = 0; i < count; ++i)
            if (keycodeHas(xcb_keycode_t(minKeycode_ + i), keysym))
                return xcb_keycode_t(minKeycode_ + i);
        return 0;
    }

    GlobalHotKeys* owner_;
    xcb_connection_t* conn_;
    std::vector<xcb_window_t> roots_;
    std::vector<xcb_keysym_t> keysyms_;
    xcb_keycode_t minKeycode_ = 0;
    size_t perKeycode_ = 0;
    quint16 numLock_ = XCB_MOD_MASK_2;
    std::vector<Grab> grabs_;
    std::vector<Key> keys_;
};

#else

class GlobalHotKeys::X11Keys
{
};

#endif

GlobalHotKeys::GlobalHotKeys(QWidget* window)
    : QObject(window), window_(window)
{
}

GlobalHotKeys::~GlobalHotKeys()
{
    unregisterAll();
}

QList<int> GlobalHotKeys::allIds()
{
    QList<int> ids;
    for (const KeySpec& spec : kKeys)
        ids << spec.id;
    return ids;
}

void GlobalHotKeys::registerAll()
{
    unregisterAll();

#ifdef SORVENTA_HAVE_XCB
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr) {
            x11_ = std::make_unique<X11Keys>(this, connection);
            registered_ = x11_->grabAll();
            QCoreApplication::instance()->installNativeEventFilter(x11_.get());
            backend_ = Backend::X11;
            return;
        }
    }
#endif

    if (!window_)
        return;
    for (const KeySpec& spec : kKeys) {
        const QKeySequence keys(spec.control ? QKeyCombination(Qt::ControlModifier, Qt::Key(spec.qtKey))
                                             : QKeyCombination(Qt::Key(spec.qtKey)));
        auto* shortcut = new QShortcut(keys, window_, nullptr, nullptr, Qt::ApplicationShortcut);
        const int id = spec.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] { deliver(id); });
        // Another shortcut of the program on the same key makes both ambiguous;
        // the hot key still wins.
        connect(shortcut, &QShortcut::activatedAmbiguously, this, [this, id] { deliver(id); });
        shortcuts_ << shortcut;
        registered_.insert(id);
    }
    backend_ = Backend::Shortcuts;
}

void GlobalHotKeys::unregisterAll()
{
    ++generation_;
    x11_.reset();  // ungrabs and removes the filter
    for (const QPointer<QObject>& shortcut : std::as_const(shortcuts_))
        delete shortcut.data();
    shortcuts_.clear();
    registered_.clear();
    backend_ = Backend::None;
}

void GlobalHotKeys::deliver(int id)
{
    // Queued, as a posted message would be: the key's handler runs from the
    // event loop, not from inside the window system's event processing.
    QMetaObject::invokeMethod(
        this,
        [this, id, generation = generation_] {
            if (generation == generation_ && registered_.contains(id))
                emit hotKey(id);
        },
        Qt::QueuedConnection);
}

}  // namespace sor
