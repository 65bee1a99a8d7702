#pragma once

#include <QRectF>
#include <QString>

#include <map>
#include <memory>
#include <string>

#include "platform/graphics.h"

class QPainter;
class QSvgRenderer;

namespace quillory::qt {

// An application image drawn from its SVG source, sharp at every scale.
class QtImage final : public platform::Image {
public:
    explicit QtImage(const QString& path);
    ~QtImage() override;

    bool isValid() const;
    platform::Size size() const override;
    void render(QPainter& painter, const QRectF& target) const;

private:
    std::unique_ptr<QSvgRenderer> renderer_;
};

// The images compiled into the program: ":/quillory/images/<name>.svg".
class QtImageStore final : public platform::ImageStore {
public:
    std::shared_ptr<const platform::Image> imageNamed(const std::string& name) override;

private:
    std::map<std::string, std::shared_ptr<const platform::Image>> cache_;
};

}  // namespace quillory::qt
