#include "screen_pixels.h"

#include <QColor>

#include <algorithm>
#include <cmath>

namespace quillory::e2e {

namespace {

std::string text(const QString& s) {
    return s.toStdString();
}

bool near(QRgb seen, QRgb expected, int tolerance) {
    return std::abs(qRed(seen) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(seen) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(seen) - qBlue(expected)) <= tolerance;
}

int channel(double value) {
    return static_cast<int>(std::lround(value));
}

}  // namespace

Placement expectedPlacement(const QRect& icon, int screenWidth) {
    const double middle = icon.x() + icon.width() / 2.0;
    double x = std::round(middle - kPanelWidth / 2.0);
    const double limit = screenWidth - 8.0;
    if (x + kPanelWidth > limit) x = limit - kPanelWidth;
    const int left = static_cast<int>(x);
    return {QRect(left, icon.y() + icon.height(), kPanelWidth, kPanelHeight),
            static_cast<int>(std::round(middle) - x)};
}

double spread(const QImage& shot, const QRect& area) {
    double sum = 0;
    double squares = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const double l = QColor(shot.pixel(x, y)).lightness();
            sum += l;
            squares += l * l;
        }
    }
    const double n = static_cast<double>(area.width()) * area.height();
    return std::sqrt(std::max(0.0, squares / n - (sum / n) * (sum / n)));
}

double difference(const QImage& a, const QImage& b, const QRect& area) {
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
    }
    return sum / (static_cast<double>(area.width()) * area.height());
}

int glyphPixels(const QImage& shot, const QRect& slot, bool darkGlyph) {
    int count = 0;
    for (int y = slot.top(); y <= slot.bottom(); ++y) {
        for (int x = slot.left(); x <= slot.right(); ++x) {
            const int l = QColor(shot.pixel(x, y)).lightness();
            count += darkGlyph ? (l < 90) : (l > 200);
        }
    }
    return count;
}

std::string lookProblems(const QImage& shot, const QRect& frame, int arrowX, bool composited, QRgb root) {
    std::string problems;
    const QRgb body = shot.pixel(frame.x() + 140, frame.y() + 380);
    // Premultiplied white at 0.9: blended over the desktop with a compositor, as it is without.
    auto blend = [&](int under) { return channel(0.9 * 255 + (composited ? 0.1 * under : 0.0)); };
    const QRgb expectedBody = qRgb(blend(qRed(root)), blend(qGreen(root)), blend(qBlue(root)));
    if (!near(body, expectedBody, 6))
        problems += " body " + text(QColor(body).name()) + " not " + text(QColor(expectedBody).name()) + ";";
    if (!near(shot.pixel(frame.x(), frame.y() + 200), qRgb(255, 255, 255), 2))
        problems += " no white border;";
    if (!near(shot.pixel(frame.x(), frame.y() + 8), root, 6)) problems += " the corner is not see-through;";
    const int row = frame.y() + 4;
    int first = -1;
    int last = -1;
    for (int x = frame.left(); x <= frame.right(); ++x) {
        if (QColor(shot.pixel(x, row)).lightness() <= 200) continue;
        if (first < 0) first = x;
        last = x;
    }
    const double tip = (first + last) / 2.0 - frame.x();
    if (first < 0 || std::abs(tip - arrowX) > 1.5) problems += " arrow at " + std::to_string(tip) + ";";
    return problems;
}

}  // namespace quillory::e2e
