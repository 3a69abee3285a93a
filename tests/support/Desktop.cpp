#include "support/Desktop.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>
#include <QStringList>
#include <QThread>
#include <cstdlib>
#include <cstring>

#include "support/XInput.h"

namespace sortest {

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, quint16(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}

// The windows of a WINDOW-list property of the root window.
QList<xcb_window_t> rootWindows(xcb_connection_t* c, xcb_window_t root, const char* property)
{
    QList<xcb_window_t> list;
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, atom(c, property), XCB_ATOM_WINDOW, 0, 1024), nullptr);
    if (reply && reply->format == 32) {
        const auto* w = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
        for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i)
            list << w[i];
    }
    std::free(reply);
    return list;
}

}  // namespace

bool windowManagerRunning()
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    bool running = false;
    if (!xcb_connection_has_error(c)) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        running = !rootWindows(c, root, "_NET_SUPPORTING_WM_CHECK").isEmpty();
    }
    xcb_disconnect(c);
    return running;
}

void activateThroughWm(quint32 window)
{
    // The program goes on running meanwhile, as it does while the player
    // switches: its own requests reach the window manager in their order.
    QProcess p;
    p.start(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window)});
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000)) {
        p.kill();
        p.waitForFinished(1000);
        QFAIL("the window manager did not activate the window");
    }
    QCOMPARE(p.exitCode(), 0);
}

OtherProgram::OtherProgram()
{
    conn_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(conn_))
        return;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
    window_ = xcb_generate_id(conn_);
    const quint32 events = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_FOCUS_CHANGE;
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window_, screen->root, 900, 700, 300, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &events);
    const char title[] = "Another program";
    xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        sizeof title - 1, title);
    xcb_map_window(conn_, window_);
    xcb_flush(conn_);
    // Managed once the window manager lists it among its clients.
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (rootWindows(conn_, screen->root, "_NET_CLIENT_LIST").contains(window_)) {
            managed_ = true;
            break;
        }
        QThread::msleep(10);
    }
}

OtherProgram::~OtherProgram()
{
    xcb_disconnect(conn_);
}

}  // namespace sortest
