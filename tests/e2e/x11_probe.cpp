#include "x11_probe.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace quillory::e2e {

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> own(T* reply) {
    return Reply<T>(reply, &std::free);
}

xcb_atom_t internAtom(xcb_connection_t* c, const std::string& name) {
    auto reply = own(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr));
    if (!reply) return XCB_ATOM_NONE;
    return reply->atom;
}

std::pair<QString, QString> wmClass(xcb_connection_t* c, xcb_window_t window) {
    auto reply = own(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr));
    if (!reply) return {};
    const int length = xcb_get_property_value_length(reply.get());
    const QByteArray bytes(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
    const QList<QByteArray> parts = bytes.split('\0');
    return {parts.value(0), parts.value(1)};
}

}  // namespace

X11Probe::X11Probe(const std::string& display) {
    int screen = 0;
    connection_ = xcb_connect(display.c_str(), &screen);
    if (xcb_connection_has_error(connection_) != 0) return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screen && it.rem > 0; ++i) xcb_screen_next(&it);
    if (it.rem > 0) root_ = it.data->root;
}

X11Probe::~X11Probe() {
    xcb_disconnect(connection_);
}

bool X11Probe::connected() const {
    return xcb_connection_has_error(connection_) == 0 && root_ != 0;
}

QSize X11Probe::screenSize() const {
    auto geometry = own(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, root_), nullptr));
    return geometry ? QSize(geometry->width, geometry->height) : QSize();
}

void X11Probe::collect(std::uint32_t window, const QString& topLevelClass, bool underRoot,
                       std::vector<Window>& out) const {
    auto tree = own(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
    if (!tree) return;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const xcb_window_t child = children[i];
        Window w;
        w.id = child;
        std::tie(w.instance, w.windowClass) = wmClass(connection_, child);
        w.topLevelClass = underRoot ? w.windowClass : topLevelClass;
        auto attributes = own(xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, child), nullptr));
        auto geometry =
            own(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, child), nullptr));
        auto origin = own(xcb_translate_coordinates_reply(
            connection_, xcb_translate_coordinates(connection_, child, root_, 0, 0), nullptr));
        w.viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        if (geometry && origin)
            w.geometry = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
        out.push_back(w);
        collect(child, w.topLevelClass, false, out);
    }
}

std::vector<X11Probe::Window> X11Probe::windows() const {
    std::vector<Window> out;
    collect(root_, QString(), true, out);
    return out;
}

bool X11Probe::selectionOwned(const std::string& name) const {
    const xcb_atom_t atom = internAtom(connection_, name);
    auto owner =
        own(xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, atom), nullptr));
    return owner && owner->owner != XCB_WINDOW_NONE;
}

void X11Probe::setRootBackground(QRgb color) const {
    const std::uint32_t pixel = color & 0xffffff;
    xcb_change_window_attributes(connection_, root_, XCB_CW_BACK_PIXEL, &pixel);
    xcb_clear_area(connection_, 0, root_, 0, 0, 0, 0);
    // A compositing manager paints the wallpaper pixmap named by _XROOTPMAP_ID, tiled, instead.
    const xcb_pixmap_t wallpaper = xcb_generate_id(connection_);
    xcb_create_pixmap(connection_, 24, wallpaper, root_, 1, 1);
    const xcb_gcontext_t gc = xcb_generate_id(connection_);
    xcb_create_gc(connection_, gc, wallpaper, XCB_GC_FOREGROUND, &pixel);
    const xcb_rectangle_t all{0, 0, 1, 1};
    xcb_poly_fill_rectangle(connection_, wallpaper, gc, 1, &all);
    xcb_free_gc(connection_, gc);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, root_, internAtom(connection_, "_XROOTPMAP_ID"),
                        XCB_ATOM_PIXMAP, 32, 1, &wallpaper);
    xcb_flush(connection_);
}

QImage X11Probe::screenshot() const {
    const QSize size = screenSize();
    auto image = own(xcb_get_image_reply(connection_,
                                         xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, 0, 0,
                                                       static_cast<std::uint16_t>(size.width()),
                                                       static_cast<std::uint16_t>(size.height()), ~0u),
                                         nullptr));
    if (!image || image->depth != 24) return {};
    const auto* data = xcb_get_image_data(image.get());
    // 24-bit depth arrives as 32 bits a pixel, blue first: Qt's RGB32 on little-endian machines.
    return QImage(data, size.width(), size.height(), size.width() * 4, QImage::Format_RGB32).copy();
}

}  // namespace quillory::e2e
