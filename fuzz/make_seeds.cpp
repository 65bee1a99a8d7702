// Writes the seed inputs of the fuzz targets: photos the test fixtures make (JPEGs in every
// colour model and orientation, with and without an EXIF thumbnail, progressive ones, CR2s with
// each kind of embedded picture) and, when the corpus is given, its files, cut to the fuzzer's
// largest input. Usage: make_seeds <out-folder> [corpus-folder] [max-bytes]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/imageio/fixtures.h"

namespace {

namespace fs = std::filesystem;
using quillory::fixtures::Bytes;
namespace fx = quillory::fixtures;

void write(const fs::path& path, const Bytes& bytes, std::size_t maxBytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(std::min(bytes.size(), maxBytes)));
}

Bytes photo(int width, int height, fx::Colours colours = fx::Colours::kRgb, bool progressive = false) {
    return fx::encodeJpeg(fx::quadrantPicture(width, height, fx::kUpright), colours, progressive);
}

void fixtureSeeds(const fs::path& out, std::size_t maxBytes) {
    int n = 0;
    const auto seed = [&](const Bytes& bytes) {
        write(out / ("fixture-" + std::to_string(n++)), bytes, maxBytes);
    };
    seed(photo(64, 48));
    seed(photo(64, 48, fx::Colours::kGray));
    seed(photo(64, 48, fx::Colours::kCmyk));
    seed(photo(64, 48, fx::Colours::kRgb, true));
    seed(photo(40, 30, fx::Colours::kGray, true));
    for (int orientation = 1; orientation <= 8; ++orientation) {
        fx::ExifFields fields;
        fields.orientation = orientation;
        fields.model = "Seed Cam";
        fields.dateTimeOriginal = "2015:07:04 09:30:00";
        fields.exposureTime = {{1, 200}};
        fields.fNumber = {{28, 10}};
        fields.focalLength = {{50, 1}};
        fields.iso = {100, 200};
        if (orientation % 2 == 0) fields.thumbnail = photo(16, 12);
        seed(fx::withExif(photo(48, 32), fields));
    }
    seed(fx::withFrame(photo(32, 32), 6000, 4000));
    fx::Cr2Fields raw;
    raw.preview = photo(64, 48);
    raw.thumbnail = photo(32, 24);
    seed(fx::buildCr2(raw));
    raw.orientation = 6;
    raw.pixelWidth = 64;
    raw.pixelHeight = 48;
    raw.cutPreviewInHalf = true;
    seed(fx::buildCr2(raw));
    fx::Cr2Fields rgb;
    rgb.rgbStrip = fx::quadrantPicture(24, 16, fx::kUpright);
    seed(fx::buildCr2(rgb));
}

void corpusSeeds(const fs::path& out, const fs::path& corpus, std::size_t maxBytes) {
    int n = 0;
    for (const char* folder : {"jpg", "cr2", "bad"}) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(corpus / folder, error)) {
            std::ifstream in(entry.path(), std::ios::binary);
            Bytes head(maxBytes);
            in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(maxBytes));
            head.resize(static_cast<std::size_t>(in.gcount()));
            write(out / ("corpus-" + std::to_string(n++)), head, maxBytes);
        }
    }
}

void urlSeeds(const fs::path& out) {
    int n = 0;
    for (const char* url : {"file:///Photos/2015/IMG_0042.JPG", "file://localhost/a%20b/c.cr2",
                            "file:///x/two%0Alines.jpg?q=1#f", "file:///x/%FF%FE.CR2", "file:////x/y.jpg",
                            "http://host/a.jpg", "file:///a%00b.jpg", "file://[::1]:80/a.jpg"}) {
        std::ofstream(out / ("url-" + std::to_string(n++))) << url;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <out-folder> [corpus-folder] [max-bytes]\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    const std::size_t maxBytes = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 128 * 1024;
    fs::create_directories(out / "fill");
    fs::create_directories(out / "url");
    fixtureSeeds(out / "fill", maxBytes);
    if (argc > 2 && fs::is_directory(argv[2])) corpusSeeds(out / "fill", argv[2], maxBytes);
    urlSeeds(out / "url");
    return 0;
}
