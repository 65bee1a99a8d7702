#include "widget_support.h"

#include <QDir>

namespace quillory::testing {

std::optional<QString> artifactPath(const QString& name) {
    const QString folder = qEnvironmentVariable("QUILLORY_ARTIFACTS");
    if (folder.isEmpty() || !QDir().mkpath(folder)) return std::nullopt;
    return folder + QLatin1Char('/') + name;
}

namespace {

class GradientSource final : public ImageSource {
public:
    std::optional<ImageProperties> copyPropertiesAtIndex0() override {
        ImageProperties properties;
        properties.pixelWidth = 4000;
        properties.pixelHeight = 3000;
        properties.depth = 8;
        properties.colorModel = "RGB";
        properties.exif =
            ExifProperties{"2021:05:01 10:20:30", 1.0 / 250, 5.6, 35.0, std::vector<std::int64_t>{200}};
        properties.tiff = TiffProperties{"Canon EOS 5D Mark IV"};
        return properties;
    }
    std::optional<ContainerProperties> copyProperties() override { return ContainerProperties{6'543'210}; }
    std::optional<Bitmap> createThumbnailAtIndex0(const ThumbnailOptions&) override {
        Bitmap bitmap{400, 300, std::vector<std::uint8_t>(400 * 300 * 3)};
        for (int y = 0; y < bitmap.height; ++y) {
            for (int x = 0; x < bitmap.width; ++x) {
                std::uint8_t* p = bitmap.pixel(x, y);
                p[0] = static_cast<std::uint8_t>(40 + x * 180 / 400);
                p[1] = static_cast<std::uint8_t>(90 + y * 120 / 300);
                p[2] = 150;
            }
        }
        return bitmap;
    }
};

}  // namespace

std::unique_ptr<ImageSource> GradientPhotos::createWithPath(const std::string&, std::string*) {
    return std::make_unique<GradientSource>();
}

}  // namespace quillory::testing
