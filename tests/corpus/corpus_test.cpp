// The image service on the real camera files of the shared corpus, against exiftool's reading
// of the same files and against the pictures decoded whole by the test. Skipped, saying why,
// when the corpus or exiftool is not there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "platform/imageio/image_service_factory.h"
#include "tests/corpus/reference.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using reference::Tags;

constexpr double kSameLook = 0.9;       // likeness of two looks of one picture
constexpr double kClearlyBetter = 0.1;  // how much more alike the right turn must look

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The files of one corpus folder with one of `extensions` (any case), sorted.
std::vector<fs::path> filesIn(const std::string& folder, const std::vector<std::string>& extensions) {
    std::vector<fs::path> files = support::corpusFiles(folder);
    std::erase_if(files, [&](const fs::path& file) {
        return std::find(extensions.begin(), extensions.end(), lower(file.extension().string())) ==
               extensions.end();
    });
    return files;
}

#define SKIP_WITHOUT(folder)                                                          \
    do {                                                                              \
        if (!fs::is_directory(support::corpus() / (folder))) {                        \
            GTEST_SKIP() << "no corpus folder at " << (support::corpus() / (folder)); \
        }                                                                             \
    } while (false)

std::unique_ptr<ImageSource> open(const fs::path& path) {
    static const auto service = imageio::makeImageService();
    return service->createWithPath(path.string());
}

void expectNumber(const std::optional<double>& ours, const Tags& tags, const std::string& tag) {
    const auto it = tags.find(tag);
    if (it == tags.end()) {
        EXPECT_FALSE(ours) << tag << ": exiftool finds none, we read " << ours.value_or(0);
        return;
    }
    const double theirs = std::strtod(it->second.c_str(), nullptr);  // the first of a list
    ASSERT_TRUE(ours) << tag << ": exiftool reads " << it->second << ", we none";
    EXPECT_NEAR(*ours, theirs, std::abs(theirs) * 1e-8) << tag;
}

void expectText(const std::optional<std::string>& ours, const Tags& tags, const std::string& tag) {
    const auto it = tags.find(tag);
    EXPECT_EQ(ours.value_or("(absent)"), it == tags.end() ? "(absent)" : it->second) << tag;
}

void expectExifAgrees(const ImageProperties& ours, const Tags& tags) {
    const ExifProperties exif = ours.exif.value_or(ExifProperties{});
    expectText(ours.tiff ? ours.tiff->model : std::nullopt, tags, "Model");
    expectText(exif.dateTimeOriginal, tags, "DateTimeOriginal");
    expectNumber(exif.exposureTime, tags, "ExposureTime");
    expectNumber(exif.fNumber, tags, "FNumber");
    expectNumber(exif.focalLength, tags, "FocalLength");
    const auto& iso = exif.isoSpeedRatings;
    expectNumber(iso && !iso->empty() ? std::optional<double>(iso->front()) : std::nullopt, tags, "ISO");
    // exiftool shows any stored number; we keep only the eight meaningful ones.
    Tags orientation = tags;
    const double stored = tags.count("Orientation") ? std::stod(tags.at("Orientation")) : 0;
    if (stored < 1 || stored > 8) orientation.erase("Orientation");
    expectNumber(ours.orientation ? std::optional<double>(*ours.orientation) : std::nullopt, orientation,
                 "Orientation");
}

TEST(Corpus, jpegPropertiesAgreeWithExiftool) {
    SKIP_WITHOUT("jpg");
    const auto reference = reference::exiftoolTags(support::corpus() / "jpg");
    if (!reference) GTEST_SKIP() << "exiftool is not installed: nothing to compare with";
    const auto files = filesIn("jpg", {".jpg", ".jpeg"});
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const Tags& tags = reference->at(file.filename().string());
        const auto source = open(file);
        ASSERT_NE(source, nullptr);
        const auto properties = source->copyPropertiesAtIndex0();
        ASSERT_TRUE(properties);
        EXPECT_EQ(source->copyProperties()->fileSize, static_cast<std::int64_t>(fs::file_size(file)));
        expectNumber(properties->pixelWidth, tags, "ImageWidth");
        expectNumber(properties->pixelHeight, tags, "ImageHeight");
        expectNumber(properties->depth, tags, "BitsPerSample");
        const std::map<std::string, std::string> models{{"1", "Gray"}, {"3", "RGB"}, {"4", "CMYK"}};
        EXPECT_EQ(properties->colorModel.value_or("(absent)"), models.at(tags.at("ColorComponents")));
        expectExifAgrees(*properties, tags);
    }
}

TEST(Corpus, cr2PropertiesAgreeWithExiftool) {
    SKIP_WITHOUT("cr2");
    const auto reference = reference::exiftoolTags(support::corpus() / "cr2");
    if (!reference) GTEST_SKIP() << "exiftool is not installed: nothing to compare with";
    for (const fs::path& file : filesIn("cr2", {".cr2"})) {
        SCOPED_TRACE(file.filename().string());
        const Tags& tags = reference->at(file.filename().string());
        const auto properties = open(file)->copyPropertiesAtIndex0();
        ASSERT_TRUE(properties);
        expectNumber(properties->pixelWidth, tags, "ExifImageWidth");
        expectNumber(properties->pixelHeight, tags, "ExifImageHeight");
        EXPECT_EQ(properties->colorModel, "RGB");
        const double depth = properties->depth.value_or(14);  // absent when the raw data is a placeholder
        EXPECT_TRUE(depth == 12 || depth == 14) << depth;
        expectExifAgrees(*properties, tags);
    }
}

// How alike `picture` looks to `seen` upright, and turned or mirrored the best other way.
std::pair<double, double> uprightAndBestOther(const Bitmap& picture, const Bitmap& seen) {
    double other = -1;
    for (int orientation = 2; orientation <= 8; ++orientation) {
        other = std::max(other, reference::likeness(reference::upright(picture, orientation), seen));
    }
    return {reference::likeness(picture, seen), other};
}

// `preview` against the picture it should show, letterbox bars of an EXIF thumbnail aside. An
// EXIF thumbnail of an edited photo may differ a little in crop or tone: it must then at least
// look more like the picture as it is than turned or mirrored any other way.
void expectLooksLike(const Bitmap& preview, const Bitmap& seen) {
    EXPECT_LE(std::max(preview.width, preview.height), 500);
    const double ours = static_cast<double>(preview.width) / preview.height;
    const double theirs = static_cast<double>(seen.width) / seen.height;
    const bool barred = std::abs(ours / theirs - 1) > 0.03;
    const Bitmap compared = barred ? reference::cropToAspect(preview, seen.width, seen.height) : preview;
    const auto [upright, other] = uprightAndBestOther(compared, seen);
    EXPECT_TRUE(upright > kSameLook || upright > other + kClearlyBetter)
        << "preview " << preview.width << "x" << preview.height << " vs upright " << seen.width << "x"
        << seen.height << ": likeness " << upright << ", turned another way " << other;
}

TEST(Corpus, jpegPreviewsAreSmallAndUpright) {
    SKIP_WITHOUT("jpg");
    for (const fs::path& file : filesIn("jpg", {".jpg", ".jpeg"})) {
        SCOPED_TRACE(file.filename().string());
        const auto source = open(file);
        const auto preview = source->createThumbnailAtIndex0(kThumbnailOptions);
        const auto whole = reference::decodeWhole(support::readFile(file));
        if (!whole) continue;  // 12-bit or height defined later: libjpeg-turbo cannot decode it either
        ASSERT_TRUE(preview);
        const int orientation = source->copyPropertiesAtIndex0()->orientation.value_or(1);
        expectLooksLike(*preview, reference::upright(reference::blockReduced(*whole, 600), orientation));
    }
}

TEST(Corpus, cr2PreviewsAreSmallAndUpright) {
    SKIP_WITHOUT("cr2");
    for (const fs::path& file : filesIn("cr2", {".cr2"})) {
        SCOPED_TRACE(file.filename().string());
        const auto preview = open(file)->createThumbnailAtIndex0(kThumbnailOptions);
        int orientation = 1;
        const auto embedded = reference::largestRawPreview(file, orientation);
        ASSERT_EQ(preview.has_value(), embedded.has_value());  // only placeholders: nothing to show
        if (embedded)
            expectLooksLike(*preview,
                            reference::upright(reference::blockReduced(*embedded, 600), orientation));
    }
}

// Sets of files holding one picture stored in different orientations look alike once upright.
TEST(Corpus, orientationSetsLookAlikeOnceUpright) {
    SKIP_WITHOUT("jpg");
    const std::vector<std::vector<std::string>> sets = {
        {"recurser_Landscape_0", "recurser_Landscape_3", "recurser_Landscape_4", "recurser_Landscape_5",
         "recurser_Landscape_6", "recurser_Landscape_8"},
        {"ianare_orientation_landscape_1", "ianare_orientation_landscape_2", "ianare_orientation_landscape_4",
         "ianare_orientation_landscape_6", "ianare_orientation_landscape_8"},
        {"ianare_orientation_portrait_1", "ianare_orientation_portrait_4", "ianare_orientation_portrait_5",
         "ianare_orientation_portrait_6", "ianare_orientation_portrait_8"},
    };
    for (const auto& set : sets) {
        std::optional<Bitmap> first;
        for (const std::string& name : set) {
            SCOPED_TRACE(name);
            const fs::path file = support::corpus() / "jpg" / (name + ".jpg");
            if (!fs::exists(file)) continue;
            const auto preview = open(file)->createThumbnailAtIndex0(kThumbnailOptions);
            ASSERT_TRUE(preview);
            if (!first) first = preview;
            const auto [upright, other] = uprightAndBestOther(*preview, *first);
            EXPECT_TRUE(upright > kSameLook && upright > other) << upright << " vs " << other;
        }
    }
}

TEST(Corpus, badFilesEndWithoutCrashOrHang) {
    SKIP_WITHOUT("bad");
    const auto files = filesIn("bad", {});
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const auto source = open(file);
        ASSERT_NE(source, nullptr);
        (void)source->copyPropertiesAtIndex0();
        EXPECT_EQ(source->copyProperties()->fileSize, static_cast<std::int64_t>(fs::file_size(file)));
        if (const auto preview = source->createThumbnailAtIndex0(kThumbnailOptions)) {
            EXPECT_LE(std::max(preview->width, preview->height), 500);
        }
    }
}

}  // namespace
}  // namespace quillory
