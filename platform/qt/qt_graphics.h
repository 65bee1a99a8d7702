#pragma once

#include <QColor>
#include <QPainterPath>

#include <vector>

#include "platform/graphics.h"

class QPainter;

namespace quillory::qt {

// The platform-free path as Qt draws it, filled by the non-zero rule.
QPainterPath toPainterPath(const platform::Path& path);

// A display pass on a QPainter: the drawn view's coordinates grow upward, as the program's do.
class QtGraphics final : public platform::Graphics {
public:
    // `painter` paints a view `viewHeight` points high; drawing is antialiased.
    QtGraphics(QPainter& painter, double viewHeight);
    ~QtGraphics() override;

    void saveGraphicsState() override;
    void restoreGraphicsState() override;
    void setFillColor(const platform::Color& color) override { fill_ = toQColor(color); }
    void setStrokeColor(const platform::Color& color) override { stroke_ = toQColor(color); }
    void fill(const platform::Path& path) override;
    void stroke(const platform::Path& path) override;
    void addClip(const platform::Path& path) override;
    void drawImage(const platform::Image* image, platform::Point at, platform::CompositingOperation operation,
                   double fraction) override;

    static QColor toQColor(const platform::Color& color);

private:
    struct Colors {
        QColor fill;
        QColor stroke;
    };

    QPainter& painter_;
    QColor fill_;
    QColor stroke_;
    std::vector<Colors> saved_;
};

}  // namespace quillory::qt
