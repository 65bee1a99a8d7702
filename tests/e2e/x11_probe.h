#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <optional>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace quillory::e2e {

// What the driver asks the X server directly: windows, selections, pixels.
class X11Probe {
public:
    explicit X11Probe(const std::string& display);
    ~X11Probe();
    X11Probe(const X11Probe&) = delete;
    X11Probe& operator=(const X11Probe&) = delete;

    bool connected() const;
    QSize screenSize() const;

    struct Window {
        std::uint32_t id = 0;
        QString instance;       // WM_CLASS instance
        QString windowClass;    // WM_CLASS class
        QString topLevelClass;  // WM_CLASS class of its ancestor just below the root
        QRect geometry;         // in root coordinates
        bool viewable = false;
    };
    // Every window below the root, depth first.
    std::vector<Window> windows() const;
    // Whether anyone owns the selection `name` (a tray, a compositing manager).
    bool selectionOwned(const std::string& name) const;
    void setRootBackground(QRgb color) const;
    QImage screenshot() const;

private:
    void collect(std::uint32_t window, const QString& topLevelClass, bool underRoot,
                 std::vector<Window>& out) const;

    xcb_connection_t* connection_ = nullptr;
    std::uint32_t root_ = 0;
};

}  // namespace quillory::e2e
