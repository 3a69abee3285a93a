#include "support/XInput.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTest>

#include <cstdlib>

namespace sortest {

bool onX()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

void xdotool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    QVERIFY2(p.waitForFinished(10000), "xdotool hangs");
    QCOMPARE(p.exitCode(), 0);
}

void typeKeys(const QStringList& keys)
{
    xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("20")} + keys);
}

OtherXClient::OtherXClient()
{
    conn_ = xcb_connect(nullptr, nullptr);
    if (!xcb_connection_has_error(conn_))
        screen_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
}

OtherXClient::~OtherXClient()
{
    xcb_disconnect(conn_);
}

bool OtherXClient::ok() const
{
    return conn_ && !xcb_connection_has_error(conn_) && screen_;
}

xcb_keycode_t OtherXClient::keycodeOf(xcb_keysym_t keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(conn_);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto* map =
        xcb_get_keyboard_mapping_reply(conn_, xcb_get_keyboard_mapping(conn_, setup->min_keycode, count), nullptr);
    if (!map)
        return 0;
    xcb_keycode_t found = 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
    for (int i = 0; i < count && !found; ++i)
        if (syms[i * map->keysyms_per_keycode] == keysym)
            found = xcb_keycode_t(setup->min_keycode + i);
    std::free(map);
    return found;
}

bool OtherXClient::grab(xcb_keycode_t code)
{
    auto* error = xcb_request_check(
        conn_, xcb_grab_key_checked(conn_, 1, screen_->root, 0, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::free(error);
    return !error;
}

void OtherXClient::focusOwnWindow(int x)
{
    window_ = xcb_generate_id(conn_);
    const quint32 events = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window_, screen_->root, qint16(x), 0, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, XCB_CW_EVENT_MASK, &events);
    xcb_map_window(conn_, window_);
    xcb_set_input_focus(conn_, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
    // A round trip, so that the focus has moved when this returns.
    std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
}

xcb_window_t OtherXClient::focus()
{
    auto* reply = xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr);
    const xcb_window_t w = reply ? reply->focus : 0;
    std::free(reply);
    return w;
}

const QList<int>& OtherXClient::keyPresses()
{
    while (xcb_generic_event_t* e = xcb_poll_for_event(conn_)) {
        if ((e->response_type & 0x7f) == XCB_KEY_PRESS)
            presses_ << reinterpret_cast<xcb_key_press_event_t*>(e)->detail;
        std::free(e);
    }
    return presses_;
}

quint16 OtherXClient::modifierState()
{
    auto* reply = xcb_query_pointer_reply(conn_, xcb_query_pointer(conn_, screen_->root), nullptr);
    const quint16 mask = reply ? reply->mask : 0;
    std::free(reply);
    return mask & 0xff;
}

}  // namespace sortest
