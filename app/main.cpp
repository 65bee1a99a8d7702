#include <QImage>

#include <iostream>
#include <string>
#include <vector>

#include "app/cli.h"
#include "platform/imageio/image_service_factory.h"

namespace {

bool writePng(const quillory::Bitmap& picture, const std::string& path, std::string& why) {
    const QImage image(picture.rgb.data(), picture.width, picture.height, picture.width * 3,
                       QImage::Format_RGB888);
    if (image.save(QString::fromStdString(path), "PNG")) return true;
    why = "the PNG could not be written";
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto images = quillory::imageio::makeImageService();
    return quillory::runCli(args, {*images, writePng, QUILLORY_VERSION, std::cout, std::cerr});
}
