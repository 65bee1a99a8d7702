#include "platform/qt/qt_images.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

namespace quillory::qt {

QtImage::QtImage(const QString& path) : renderer_(std::make_unique<QSvgRenderer>(path)) {}

QtImage::~QtImage() = default;

bool QtImage::isValid() const {
    return renderer_->isValid();
}

platform::Size QtImage::size() const {
    const QSizeF size = renderer_->defaultSize();
    return {size.width(), size.height()};
}

void QtImage::render(QPainter& painter, const QRectF& target) const {
    renderer_->render(&painter, target);
}

std::shared_ptr<const platform::Image> QtImageStore::imageNamed(const std::string& name) {
    if (auto it = cache_.find(name); it != cache_.end()) return it->second;
    const QString path = QStringLiteral(":/quillory/images/%1.svg").arg(QString::fromStdString(name));
    std::shared_ptr<const platform::Image> image;
    if (QFile::exists(path)) {
        auto loaded = std::make_shared<QtImage>(path);
        if (loaded->isValid()) image = std::move(loaded);
    }
    // Cached either way: the same name gives the same object (or the same absence) every time.
    return cache_[name] = image;
}

}  // namespace quillory::qt
