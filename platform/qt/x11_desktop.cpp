#include "platform/qt/x11_desktop.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
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
    const xcb_atom_t selection = atom(connection, "_NET_SYSTEM_TRAY_S0");
    const xcb_atom_t colors = atom(connection, "_NET_SYSTEM_TRAY_COLORS");
    if (selection == XCB_ATOM_NONE || colors == XCB_ATOM_NONE) return std::nullopt;
    ReplyPtr<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr),
        &std::free);
    if (!owner || owner->owner == XCB_WINDOW_NONE) return std::nullopt;
    // Twelve CARDINALs, 16 bits a channel: foreground, error, warning, success.
    auto cookie = xcb_get_property(connection, 0, owner->owner, colors, XCB_ATOM_CARDINAL, 0, 12);
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 12) return std::nullopt;
    const auto* channels = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    std::uint32_t rgb = 0;
    for (int i = 0; i < 3; ++i) rgb = (rgb << 8) | ((channels[i] >> 8) & 0xffu);
    return rgb;
}

}  // namespace quillory::qt::desktop
