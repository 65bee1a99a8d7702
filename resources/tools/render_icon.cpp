// Renders an SVG into a square PNG of a given size: the PNG sizes of the application icon are
// made from its one SVG source at build time, so they never drift apart.
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: quillory_render_icon IN.svg OUT.png SIZE\n";
        return 2;
    }
    const int size = std::stoi(argv[3]);
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid() || size <= 0) {
        std::cerr << "quillory_render_icon: cannot read " << argv[1] << '\n';
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        svg.render(&painter, QRectF(0, 0, size, size));
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::cerr << "quillory_render_icon: cannot write " << argv[2] << '\n';
        return 1;
    }
    return 0;
}
