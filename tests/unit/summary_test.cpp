#include <gtest/gtest.h>

#include "inspection/summary.h"

namespace quillory {
namespace {

ImageProperties demoImage() {
    ImageProperties image;
    image.pixelWidth = 6000;
    image.pixelHeight = 4000;
    image.depth = 8;
    image.colorModel = "RGB";
    image.exif = ExifProperties{"2015:07:04 09:30:00", 0.005, 2.8, 50, std::vector<std::int64_t>{100}};
    image.tiff = TiffProperties{"Demo Cam"};
    return image;
}

const std::optional<ContainerProperties> kDemoSize = ContainerProperties{5123456};

TEST(SummaryText, matchesWorkedExampleByteForByte) {
    EXPECT_EQ(composeSummary("/Photos/2015/IMG_0042.JPG", kDemoSize, demoImage()),
              "IMG_0042.JPG  (5123 kB) \n"
              "6000 x 4000 x 8 RGB \n"
              "\n"
              "Taken on 2015:07:04 09:30:00 \n"
              "Model Demo Cam \n"
              "50mm 1/200s F2.8 ISO 100"
              "\n\n"
              "/Photos/2015");
}

struct AbsentCase {
    const char* name;
    void (*change)(ImageProperties&);
    const char* expectedAfterPixelLine;  // everything after "6000 x 4000 x 8 RGB \n\n"
};

class SummaryAbsentValues : public ::testing::TestWithParam<AbsentCase> {};

TEST_P(SummaryAbsentValues, followsTheAbsentValueRules) {
    ImageProperties image = demoImage();
    GetParam().change(image);
    const std::string text = composeSummary("/p/a.jpg", ContainerProperties{1000}, image);
    const std::string head = "a.jpg  (1 kB) \n6000 x 4000 x 8 RGB \n\n";
    ASSERT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.substr(head.size()), GetParam().expectedAfterPixelLine);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SummaryAbsentValues,
    ::testing::Values(
        AbsentCase{"noDate", [](ImageProperties& i) { i.exif->dateTimeOriginal.reset(); },
                   "Model Demo Cam \n50mm 1/200s F2.8 ISO 100\n\n/p"},
        AbsentCase{"noModelHidesExposure", [](ImageProperties& i) { i.tiff->model.reset(); },
                   "Taken on 2015:07:04 09:30:00 \n\n\n/p"},
        AbsentCase{"noTiffNoDate",
                   [](ImageProperties& i) {
                       i.tiff.reset();
                       i.exif->dateTimeOriginal.reset();
                   },
                   "\n\n/p"},
        AbsentCase{"modelWithoutExif", [](ImageProperties& i) { i.exif.reset(); },
                   "Model Demo Cam \n(null)mm (null)s F(null) ISO 0\n\n/p"},
        AbsentCase{"emptyIsoList",
                   [](ImageProperties& i) { i.exif->isoSpeedRatings = std::vector<std::int64_t>{}; },
                   "Taken on 2015:07:04 09:30:00 \nModel Demo Cam \n50mm 1/200s F2.8 ISO 0\n\n/p"},
        AbsentCase{"firstIsoOnly",
                   [](ImageProperties& i) {
                       i.exif->isoSpeedRatings = std::vector<std::int64_t>{200, 400};
                   },
                   "Taken on 2015:07:04 09:30:00 \nModel Demo Cam \n50mm 1/200s F2.8 ISO 200\n\n/p"},
        AbsentCase{"zeroExposure", [](ImageProperties& i) { i.exif->exposureTime = 0.0; },
                   "Taken on 2015:07:04 09:30:00 \nModel Demo Cam \n50mm (null)s F2.8 ISO 100\n\n/p"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(SummaryText, printsNullPixelLineWithoutImageProperties) {
    EXPECT_EQ(composeSummary("/p/a.jpg", ContainerProperties{0}, std::nullopt),
              "a.jpg  (0 kB) \n(null) x (null) x (null) (null) \n\n\n\n/p");
}

TEST(SummaryText, countsMissingContainerPropertiesAsZeroBytes) {
    EXPECT_EQ(composeSummary("/p/a.jpg", std::nullopt, std::nullopt).substr(0, 15), "a.jpg  (0 kB) \n");
    EXPECT_EQ(composeSummary("/p/a.jpg", ContainerProperties{}, std::nullopt).substr(0, 15),
              "a.jpg  (0 kB) \n");
}

TEST(SummaryText, endsWithSingleSlashForFileInRoot) {
    const std::string text = composeSummary("/My Photo.JPG", kDemoSize, demoImage());
    EXPECT_EQ(text.substr(0, 14), "My Photo.JPG  ");
    EXPECT_EQ(text.substr(text.size() - 3), "\n\n/");
}

TEST(SummarySize, dividesByThousandWithoutRounding) {
    const std::pair<std::int64_t, const char*> cases[] = {{999, "(0 kB)"},
                                                          {1000, "(1 kB)"},
                                                          {1'023'999, "(1023 kB)"},
                                                          {5'123'456, "(5123 kB)"},
                                                          {0, "(0 kB)"},
                                                          {-1, "(0 kB)"},
                                                          {9'000'000'000'000, "(9000000000 kB)"}};
    for (const auto& [bytes, text] : cases) {
        EXPECT_NE(composeSummary("/a.jpg", ContainerProperties{bytes}, std::nullopt).find(text),
                  std::string::npos)
            << bytes;
    }
}

TEST(SummaryNumbers, printPlainShortestDecimal) {
    const std::pair<std::optional<double>, const char*> cases[] = {{640.0, "640"},
                                                                   {8.0, "8"},
                                                                   {50.0, "50"},
                                                                   {2.8, "2.8"},
                                                                   {28.0 / 10.0, "2.8"},
                                                                   {0.1 + 0.2, "0.30000000000000004"},
                                                                   {7.1, "7.1"},
                                                                   {std::nullopt, "(null)"},
                                                                   {1.0 / 3.0, "0.3333333333333333"},
                                                                   {100000.0, "100000"},
                                                                   {1e21, "1000000000000000000000"},
                                                                   {0.0001, "0.0001"},
                                                                   {1.5e-7, "0.00000015"}};
    for (const auto& [value, text] : cases) EXPECT_EQ(formatNumber(value), text);
}

TEST(SummaryExposure, roundsAndKeepsCameraNotation) {
    const std::pair<std::optional<double>, const char*> cases[] = {{1.0 / 250, "1/250"},
                                                                   {1.0 / 125, "1/125"},
                                                                   {1.0 / 60, "1/60"},
                                                                   {1.0 / 1000, "1/1000"},
                                                                   {1.0 / 8000, "1/8000"},
                                                                   {0.005, "1/200"},
                                                                   {0.125, "1/8"},
                                                                   {0.25, "1/4"},
                                                                   {0.5, "1/2"},
                                                                   {0.769, "1/1.3"},
                                                                   {0.625, "1/1.6"},
                                                                   {0.4, "1/2.5"},
                                                                   {1.0 / 3, "1/3"},
                                                                   {1.0 / 15, "1/15"},
                                                                   {1.0, "1"},
                                                                   {0.99999, "1"},
                                                                   {2.0, "2"},
                                                                   {1.3, "1.3"},
                                                                   {30.0, "30"},
                                                                   {1e-9, "1/1000000000"},
                                                                   {100000.0, "100000"},
                                                                   {0.0, "(null)"},
                                                                   {-1.0, "(null)"},
                                                                   {std::nullopt, "(null)"}};
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(formatExposure(seconds), text) << seconds.value_or(-99);
}

TEST(SummaryCleaning, replacesControlsAndInvalidUtf8WithReplacementCharacter) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"Canon EOS 5D", "Canon EOS 5D"},
        {"Caf\xC3\xA9 \xF0\x9F\x98\x80 \xC2\xA0|",
         "Caf\xC3\xA9 \xF0\x9F\x98\x80 \xC2\xA0|"},  // é, emoji, NBSP
        {"a\x1B]0;X\x07"
         "b",
         "a\uFFFD]0;X\uFFFDb"},                                                             // ESC, BEL
        {std::string_view("\n\r\t\0\x1F\x7F", 6), "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},  // C0, DEL
        {"\xC2\x80\xC2\x9B\xC2\x9F", "\uFFFD\uFFFD\uFFFD"},  // C1 (CSI among them)
        {"lat\xE9", "lat\uFFFD"},                            // Latin-1
        {"\xE2\x82", "\uFFFD"},                              // cut short: one
        {"\xE2\x82x", "\uFFFDx"},
        {"\xC0\xAF", "\uFFFD\uFFFD"},  // overlong
        {"\xE0\x80\xAF", "\uFFFD\uFFFD\uFFFD"},
        {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},                      // surrogate
        {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},            // past U+10FFFF
        {"\xF4\x8F\xBF\xBF\xEF\xBF\xBD", "\xF4\x8F\xBF\xBF\uFFFD"},  // U+10FFFF, U+FFFD
        {"\x80\xBF\xFF", "\uFFFD\uFFFD\uFFFD"},
    };
    for (const auto& [raw, clean] : cases) EXPECT_EQ(cleanText(raw), clean) << ::testing::PrintToString(raw);
}

// A value cannot add a line of its own or reach the terminal: every text from the file and
// the path is cleaned, and the summary keeps its own line breaks.
TEST(SummaryCleaning, valuesCannotForgeLines) {
    ImageProperties image = demoImage();
    image.tiff->model = "Canon \x1B]0;PWNED\x07 X\nTaken on 1999";
    image.exif->dateTimeOriginal = "2015\r\n";
    image.colorModel = "RGB\n";
    EXPECT_EQ(composeSummary("/P\nx/a\x1B.jpg", kDemoSize, image),
              "a\uFFFD.jpg  (5123 kB) \n"
              "6000 x 4000 x 8 RGB\uFFFD \n"
              "\n"
              "Taken on 2015\uFFFD\uFFFD \n"
              "Model Canon \uFFFD]0;PWNED\uFFFD X\uFFFDTaken on 1999 \n"
              "50mm 1/200s F2.8 ISO 100"
              "\n\n"
              "/P\uFFFDx");
}

}  // namespace
}  // namespace quillory
