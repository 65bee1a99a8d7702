#include "platform/qt/qt_screens.h"

#include <QGuiApplication>
#include <QScreen>

namespace quillory::qt {

namespace {

platform::Rect toRect(const QRect& r) {
    return {static_cast<double>(r.x()), static_cast<double>(r.y()), static_cast<double>(r.width()),
            static_cast<double>(r.height())};
}

}  // namespace

ScreenSpace currentScreenSpace() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return ScreenSpace(primary != nullptr ? toRect(primary->geometry()) : platform::Rect{});
}

double currentBarThickness() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) return kDefaultBarThickness;
    return barThickness(toRect(primary->geometry()), toRect(primary->availableGeometry()));
}

std::vector<platform::Rect> QtScreens::frames() const {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) return {};
    const ScreenSpace space = currentScreenSpace();
    std::vector<platform::Rect> frames{space.toProgram(toRect(primary->geometry()))};
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen != primary) frames.push_back(space.toProgram(toRect(screen->geometry())));
    }
    return frames;
}

platform::Rect QtScreens::firstVisibleFrame() const {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary != nullptr ? currentScreenSpace().toProgram(toRect(primary->availableGeometry()))
                              : platform::Rect{};
}

}  // namespace quillory::qt
