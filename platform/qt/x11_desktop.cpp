#include "platform/qt/x11_desktop.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace quillory::qt::desktop {

namespace {

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_connection_t* qtConnection() {
    auto* app = qGuiApp;
    if (app == nullptr) return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t* connection) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (screens.rem <= 0) return XCB_WINDOW_NONE;
    return screens.data->root;
}

xcb_atom_t atom(xcb_connection_t* connection, const std::string& name) {
    auto cookie = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str());
    ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    if (!reply) return XCB_ATOM_NONE;
    return reply->atom;
}

xcb_window_t trayOwner(xcb_connection_t* connection) {
    const xcb_atom_t selection = atom(connection, "_NET_SYSTEM_TRAY_S0");
    if (selection == XCB_ATOM_NONE) return XCB_WINDOW_NONE;
    ReplyPtr<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr),
        &std::free);
    return owner ? owner->owner : xcb_window_t{XCB_WINDOW_NONE};
}

}  // namespace

bool canOpenX11Display(const std::optional<std::string>& display, std::string* why) {
    const char* name = display ? display->c_str() : nullptr;
    xcb_connection_t* connection = xcb_connect(name, nullptr);
    const int error = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    if (error == 0) return true;
    if (why != nullptr) {
        *why = "no display: cannot open the X display \"" + std::string(name != nullptr ? name : "") +
               "\" (is the desktop session running, and is DISPLAY right?)";
    }
    return false;
}

bool compositingManagerRunning() {
    xcb_connection_t* connection = qtConnection();
    if (connection == nullptr) return true;
    // The compositing manager owns the selection _NET_WM_CM_S<screen>; Qt uses the first screen.
    const xcb_atom_t selection = atom(connection, "_NET_WM_CM_S0");
    if (selection == XCB_ATOM_NONE) return false;
    auto cookie = xcb_get_selection_owner(connection, selection);
    ReplyPtr<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(connection, cookie, nullptr), &std::free);
    return reply && reply->owner != XCB_WINDOW_NONE;
}

std::optional<ModifierKeys> x11ModifierKeys() {
    xcb_connection_t* connection = qtConnection();
    if (connection == nullptr) return std::nullopt;
    auto cookie = xcb_query_pointer(connection, rootWindow(connection));
    ReplyPtr<xcb_query_pointer_reply_t> reply(xcb_query_pointer_reply(connection, cookie, nullptr),
                                              &std::free);
    if (!reply) return std::nullopt;
    return modifierKeysFromX11(reply->mask);
}

std::optional<std::uint32_t> trayForegroundHint() {
    xcb_connection_t* connection = qtConnection();
    if (connection == nullptr) return std::nullopt;
    const xcb_atom_t colors = atom(connection, "_NET_SYSTEM_TRAY_COLORS");
    const xcb_window_t owner = trayOwner(connection);
    if (colors == XCB_ATOM_NONE || owner == XCB_WINDOW_NONE) return std::nullopt;
    // Twelve CARDINALs, 16 bits a channel: foreground, error, warning, success.
    auto cookie = xcb_get_property(connection, 0, owner, colors, XCB_ATOM_CARDINAL, 0, 12);
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 12) return std::nullopt;
    const auto* channels = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    std::uint32_t rgb = 0;
    for (int i = 0; i < 3; ++i) rgb = (rgb << 8) | ((channels[i] >> 8) & 0xffu);
    return rgb;
}

bool xembedTrayPresent() {
    xcb_connection_t* connection = qtConnection();
    return connection != nullptr && trayOwner(connection) != XCB_WINDOW_NONE;
}

void completeStartup(const std::string& id) {
    xcb_connection_t* connection = qtConnection();
    if (connection == nullptr || id.empty()) return;
    std::string message = "remove: ID=";
    for (char c : id) {
        if (c == ' ' || c == '"' || c == '\\') message.push_back('\\');
        message.push_back(c);
    }
    message.push_back('\0');
    // The message travels in pieces of 20 bytes from a window of the sender's, as startup
    // notification's own library sends it.
    const xcb_window_t root = rootWindow(connection);
    const xcb_window_t from = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, from, root, -100, -100, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t first = atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(connection, "_NET_STARTUP_INFO");
    for (std::size_t at = 0; at < message.size(); at += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = from;
        event.type = at == 0 ? first : more;
        std::memcpy(event.data.data8, message.data() + at, std::min<std::size_t>(20, message.size() - at));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_destroy_window(connection, from);
    xcb_flush(connection);
}

void keepOffTaskbar(std::uintptr_t window) {
    xcb_connection_t* connection = qtConnection();
    if (connection == nullptr) return;
    // Qt adds its own states to these when it maps the window.
    const xcb_atom_t states[] = {atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 atom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window),
                        atom(connection, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 2, states);
    xcb_flush(connection);
}

}  // namespace quillory::qt::desktop
