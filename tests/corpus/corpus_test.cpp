// The image service on the real camera files of the shared corpus, one test per file: what the
// summary shows against exiftool's reading of the same file, and the preview against the picture
// ImageMagick turns upright. Skipped, saying why, without the corpus, exiftool or ImageMagick.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <numeric>
#include <sstream>

#include <strings.h>

#include "platform/imageio/image_service_factory.h"
#include "tests/support/support.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using Value = std::optional<std::string>;
using Grid = std::vector<double>;  // the brightness of kCells x kCells cells, row by row
constexpr int kCells = 12;

// What `command` prints; the photo is "$PHOTO" there.
std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    for (int c; pipe && (c = std::fgetc(pipe)) != EOF;) out += static_cast<char>(c);
    if (pipe) ::pclose(pipe);
    return out;
}
template <typename T>
Value number(const std::optional<T>& n) {
    char text[32];
    if (n) std::snprintf(text, sizeof text, "%.17g", static_cast<double>(*n));
    return n ? Value(text) : std::nullopt;
}
const std::map<std::string, std::string> kComponents{{"Gray", "1"}, {"RGB", "3"}, {"CMYK", "4"}};

// What the summary shows, as rows: exiftool's tag, a raw file's own where it differs ("-" for
// none), and our reading of it.
struct Row {
    std::string tag, rawTag;
    std::function<Value(const ImageProperties&, const ExifProperties&)> ours;
};
const std::vector<Row> kRows = {
    {"File:ImageWidth", "ExifIFD:ExifImageWidth", [](auto& p, auto&) { return number(p.pixelWidth); }},
    {"File:ImageHeight", "ExifIFD:ExifImageHeight", [](auto& p, auto&) { return number(p.pixelHeight); }},
    {"File:BitsPerSample", "-", [](auto& p, auto&) { return number(p.depth); }},
    {"File:ColorComponents", "-",
     [](auto& p, auto&) { return p.colorModel ? Value(kComponents.at(*p.colorModel)) : std::nullopt; }},
    {"IFD0:Model", "", [](auto& p, auto&) { return p.tiff ? p.tiff->model : std::nullopt; }},
    {"IFD0:Orientation", "", [](auto& p, auto&) { return number(p.orientation); }},
    {"ExifIFD:DateTimeOriginal", "", [](auto&, auto& e) { return e.dateTimeOriginal; }},
    {"ExifIFD:ExposureTime", "", [](auto&, auto& e) { return number(e.exposureTime); }},
    {"ExifIFD:FNumber", "", [](auto&, auto& e) { return number(e.fNumber); }},
    {"ExifIFD:FocalLength", "", [](auto&, auto& e) { return number(e.focalLength); }},
    {"ExifIFD:ISO", "",
     [](auto&, auto& e) {
         const auto& iso = e.isoSpeedRatings;
         return number(iso && !iso->empty() ? std::optional(iso->front()) : std::nullopt);
     }},
};

// Numbers agree to 8 digits (exiftool prints a list's first number first); text exactly.
void expectSame(const std::string& tag, const Value& ours, const Value& theirs) {
    char* end = nullptr;
    const double n = theirs ? std::strtod(theirs->c_str(), &end) : 0;
    if (ours && theirs && end != theirs->c_str() && (*end == '\0' || *end == ' '))
        EXPECT_NEAR(std::stod(*ours), n, std::abs(n) * 1e-8) << tag;
    else
        EXPECT_EQ(ours.value_or("(none)"), theirs.value_or("(none)")) << tag;
}

// exiftool's reading of `file` by row, values without units (-n); a tag it did not find is
// absent. It starts slowly, so it reads the whole folder at once and what it read is kept.
std::map<std::string, Value> exiftool(const fs::path& file, bool raw) {
    static std::map<fs::path, std::map<std::string, Value>> read;
    if (!read.count(file)) {
        std::string format = "$Directory/$FileName";
        for (const Row& row : kRows)
            format += "\t${" + (raw && row.rawTag.size() > 1 ? row.rawTag : row.tag) + "}";
        ::setenv("FOLDER", file.parent_path().c_str(), 1);
        std::istringstream said(run("exiftool -n -f -q -m -p '" + format + "' \"$FOLDER\""));
        for (std::string line, name, value; std::getline(said, line);) {
            std::istringstream values(line);
            std::getline(values, name, '\t');
            for (const Row& row : kRows)
                if (std::getline(values, value, '\t') && value != "-") read[name][row.tag] = value;
        }
    }
    return read[file];
}

// The cells of the picture that `command` prints, as ImageMagick's box filter averages them.
Grid cells(const std::string& command) {
    const std::string grey = run(command + " -filter box -resize " + std::to_string(kCells) + "x" +
                                 std::to_string(kCells) + "! -colorspace gray -depth 8 gray:- 2>/dev/null");
    Grid out;
    for (unsigned char c : grey) out.push_back(c);
    return out.size() == kCells * kCells ? out : Grid{};
}
// The cells of our preview, cut first to the centre at `aspect` (letterbox bars aside).
Grid cells(const Bitmap& preview, double aspect) {
    const bool wider = preview.width > preview.height * aspect;
    const auto w = wider ? std::lround(preview.height * aspect) : preview.width;
    const auto h = wider ? preview.height : std::lround(preview.width / aspect);
    const std::string header =
        "P6 " + std::to_string(preview.width) + " " + std::to_string(preview.height) + " 255\n";
    support::Bytes ppm(header.begin(), header.end());
    ppm.insert(ppm.end(), preview.rgb.begin(), preview.rgb.end());
    const support::TempDir folder;
    const std::string crop = std::to_string(w) + "x" + std::to_string(h) + "+0+0 +repage";
    return cells("convert " + folder.write("preview.ppm", ppm) + " -gravity center -crop " + crop);
}
// The grid as the picture would be mirrored (bit 0: left-right, bit 1: top-bottom), then
// transposed (bit 2): its eight ways of being turned.
Grid turned(const Grid& g, int way) {
    Grid out;
    for (int y = 0; y < kCells; ++y) {
        for (int x = 0; x < kCells; ++x) {
            const int u = way & 1 ? kCells - 1 - x : x, v = way & 2 ? kCells - 1 - y : y;
            out.push_back(way & 4 ? g[u * kCells + v] : g[v * kCells + u]);
        }
    }
    return out;
}
// How alike two grids look whatever their tone: their correlation, 1 for two flat ones.
double likeness(const Grid& a, const Grid& b) {
    const double ma = std::accumulate(a.begin(), a.end(), 0.0) / kCells / kCells;
    const double mb = std::accumulate(b.begin(), b.end(), 0.0) / kCells / kCells;
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        ab += (a[i] - ma) * (b[i] - mb), aa += (a[i] - ma) * (a[i] - ma), bb += (b[i] - mb) * (b[i] - mb);
    return aa < 1e-3 && bb < 1e-3 ? 1.0 : ab / std::sqrt(std::max(aa * bb, 1e-12));
}

std::vector<std::string> corpusFiles() {
    std::vector<std::string> names;
    for (const std::string folder : {"jpg", "cr2", "bad"})
        for (const fs::path& file : support::corpusFiles(folder))
            names.push_back(folder + "/" + file.filename().string());
    return names.empty() ? std::vector<std::string>{""} : names;
}
class Corpus : public testing::TestWithParam<std::string> {};

TEST_P(Corpus, readsAsTheReferenceDoes) {
    if (GetParam().empty()) GTEST_SKIP() << "no corpus at " << support::corpus() << ": nothing to read";
    const fs::path file = support::corpus() / GetParam();
    ::setenv("PHOTO", file.c_str(), 1);
    const std::string type = GetParam().substr(0, 4) + fs::path(GetParam()).extension().string();
    const bool raw = !::strcasecmp(type.c_str(), "cr2/.cr2");
    const bool photo =
        raw || !::strcasecmp(type.c_str(), "jpg/.jpg") || !::strcasecmp(type.c_str(), "jpg/.jpeg");
    const auto source = imageio::makeImageService()->createWithPath(file.string());
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->copyProperties()->fileSize, static_cast<std::int64_t>(fs::file_size(file)));
    const auto properties = source->copyPropertiesAtIndex0();
    const auto preview = source->createThumbnailAtIndex0(kThumbnailOptions);
    EXPECT_LE(preview ? std::max(preview->width, preview->height) : 0, 500);
    if (!photo)
        return;  // damaged files and others: read or refused, never a crash, a hang or a large preview
    if (run("command -v exiftool && command -v convert").find("convert") == std::string::npos)
        GTEST_SKIP() << "exiftool or ImageMagick's convert is not installed: nothing to compare with";

    ASSERT_TRUE(properties);
    auto theirs = exiftool(file, raw);
    // exiftool shows any stored orientation; only the eight meaningful ones are kept.
    int orientation = std::atoi(theirs["IFD0:Orientation"].value_or("1").c_str());
    if (orientation < 1 || orientation > 8) theirs["IFD0:Orientation"].reset(), orientation = 1;
    const ExifProperties exif = properties->exif.value_or(ExifProperties{});
    for (const Row& row : kRows)
        if (!raw || row.rawTag != "-") expectSame(row.tag, row.ours(*properties, exif), theirs[row.tag]);

    // The picture upright: a raw file's embedded preview, turned as the raw file says.
    const char* kTurns[] = {"",        "TopLeft",  "TopRight",    "BottomRight", "BottomLeft",
                            "LeftTop", "RightTop", "RightBottom", "LeftBottom"};
    const Grid upright =
        cells(raw ? std::string("exiftool -b -PreviewImage \"$PHOTO\" | convert jpg:- -orient ") +
                        kTurns[orientation] + " -auto-orient"
                  : "convert -define jpeg:size=256x256 \"$PHOTO\"[0] -auto-orient");
    if (upright.empty()) return;  // 12 bits, a placeholder: it sees no picture either
    ASSERT_TRUE(preview);
    double aspect =
        std::stod(theirs["File:ImageWidth"].value()) / std::stod(theirs["File:ImageHeight"].value());
    if (orientation >= 5) aspect = 1 / aspect;
    const Grid ours = cells(*preview, aspect);
    double other = -1;
    for (int way = 1; way < 8; ++way) other = std::max(other, likeness(ours, turned(upright, way)));
    // An EXIF thumbnail of an edited photo may differ a little in crop or tone: it must then at
    // least look more like the picture upright than turned or mirrored any other way.
    const double same = likeness(ours, upright);
    EXPECT_TRUE(same > 0.9 || same > other + 0.1) << "likeness upright " << same << ", turned " << other;
}

INSTANTIATE_TEST_SUITE_P(, Corpus, testing::ValuesIn(corpusFiles()));

}  // namespace
}  // namespace quillory
