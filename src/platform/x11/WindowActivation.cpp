#include "platform/WindowActivation.h"

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

// The X11 window system: activation and launch feedback go to the X server directly.

namespace inkvale {

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

/// Whether a window manager that follows the freedesktop hints runs on `root`.
bool windowManagerRuns(xcb_connection_t* connection, xcb_window_t root) {
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, root,
                                                atom(connection, "_NET_SUPPORTING_WM_CHECK"),
                                                XCB_ATOM_WINDOW, 0, 1),
                               nullptr),
        &std::free);
    return reply && xcb_get_property_value_length(reply.get()) > 0;
}

/// Asks the X window manager to activate `window` as the user's own request. Qt's activation
/// carries the program's last input time, which a window manager preventing focus stealing
/// turns down: this one comes from a start the user made. Without a window manager the window
/// takes the focus itself.
void forceActivation(QWidget& window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    // The offscreen platform answers as X11 without a connection.
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    if (windowManagerRuns(connection, root)) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = id;
        event.type = atom(connection, "_NET_ACTIVE_WINDOW");
        event.data.data32[0] = 2; // source: a request of the user's, as from a task bar
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    } else {
        xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, id, XCB_CURRENT_TIME);
    }
    xcb_flush(connection);
}

/// Sends `message` as one startup notification message (the freedesktop startup notification
/// protocol): twenty bytes to a client message, the first marked as the beginning.
void sendStartupMessage(xcb_connection_t* connection, xcb_window_t root, QByteArray message) {
    const xcb_window_t sender = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, sender, root, -100, -100, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t begin = atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(connection, "_NET_STARTUP_INFO");
    message.append('\0');
    constexpr qsizetype kChunk = 20;
    for (qsizetype offset = 0; offset < message.size(); offset += kChunk) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = sender;
        event.type = offset == 0 ? begin : more;
        std::memcpy(event.data.data8, message.constData() + offset,
                    static_cast<std::size_t>(std::min(kChunk, message.size() - offset)));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_destroy_window(connection, sender);
    xcb_flush(connection);
}

} // namespace

void bringWindowForward(QWidget& window) {
    if (window.isMinimized()) {
        window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        window.show();
    }
    window.raise();
    window.activateWindow();
    forceActivation(window);
}

QByteArray launchFeedbackId() {
    return qgetenv("DESKTOP_STARTUP_ID");
}

void endLaunchFeedback(const QByteArray& id) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (id.isEmpty() || connection == nullptr) {
        return;
    }
    QByteArray quoted = id;
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    sendStartupMessage(connection, xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root,
                       "remove: ID=\"" + quoted + '"');
}

} // namespace inkvale
