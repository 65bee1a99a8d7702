#include "app/png_encoding.h"

#include <QBuffer>
#include <QImage>

namespace quillory {

std::string encodePng(const Bitmap& picture) {
    const QImage image(picture.rgb.data(), picture.width, picture.height, picture.width * 3,
                       QImage::Format_RGB888);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return {};
    return bytes.toStdString();
}

}  // namespace quillory
