#include <gtest/gtest.h>

#include "inspection/summary.h"
#include "tests/support/fakes.h"

namespace quillory {
namespace {

struct SummaryCase {
    std::string path;
    std::optional<std::int64_t> bytes;  // none: no container properties
    std::string lacks;  // "image", "exif", "date", "model"; "iso": ISO list (200, 400); "dirty"
    std::string text;
};

class Summary : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(Summary, followsTheWorkedExampleAndTheAbsentValueRules) {
    const SummaryCase& c = GetParam();
    std::optional<ImageProperties> image = testing::demoImage();
    image->exif = ExifProperties{"2015:07:04 09:30:00", 0.005, 2.8, 50, std::vector<std::int64_t>{100}};
    const auto has = [&](const char* word) { return c.lacks.find(word) != std::string::npos; };
    if (has("date")) image->exif->dateTimeOriginal.reset();
    if (has("model")) image->tiff->model.reset();
    if (has("iso")) image->exif->isoSpeedRatings = std::vector<std::int64_t>{200, 400};
    if (has("exif")) image->exif.reset();
    if (has("image")) image.reset();
    if (has("dirty")) {  // values that try to add lines or reach the terminal
        image->tiff->model = "Canon \x1B]0;PWNED\x07 X\nTaken on 1999";
        image->exif->dateTimeOriginal = "2015\r\n";
        image->colorModel = "RGB\n";
    }
    const auto container = c.bytes ? std::optional(ContainerProperties{*c.bytes}) : std::nullopt;
    EXPECT_EQ(composeSummary(c.path, container, image), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Photos, Summary,
    ::testing::Values(
        SummaryCase{"/Photos/2015/IMG_0042.JPG", 5'123'456, "",
                    "IMG_0042.JPG  (5123 kB) \n6000 x 4000 x 8 RGB \n\nTaken on 2015:07:04 09:30:00 \n"
                    "Model Demo Cam \n50mm 1/200s F2.8 ISO 100\n\n/Photos/2015"},
        SummaryCase{
            "/p/a.jpg", 999, "date",
            "a.jpg  (0 kB) \n6000 x 4000 x 8 RGB \n\nModel Demo Cam \n50mm 1/200s F2.8 ISO 100\n\n/p"},
        SummaryCase{"/p/a.jpg", 1'023'999, "model",
                    "a.jpg  (1023 kB) \n6000 x 4000 x 8 RGB \n\nTaken on 2015:07:04 09:30:00 \n\n\n/p"},
        SummaryCase{"/p/a.jpg", 1000, "date model", "a.jpg  (1 kB) \n6000 x 4000 x 8 RGB \n\n\n\n/p"},
        SummaryCase{"/p/a.jpg", 9'000'000'000'000, "exif",
                    "a.jpg  (9000000000 kB) \n6000 x 4000 x 8 RGB \n\nModel Demo Cam \n"
                    "(null)mm (null)s F(null) ISO 0\n\n/p"},
        SummaryCase{
            "/p/a.jpg", 1000, "date iso",
            "a.jpg  (1 kB) \n6000 x 4000 x 8 RGB \n\nModel Demo Cam \n50mm 1/200s F2.8 ISO 200\n\n/p"},
        SummaryCase{
            "/My Photo.JPG", {}, "image", "My Photo.JPG  (0 kB) \n(null) x (null) x (null) (null) \n\n\n\n/"},
        SummaryCase{"/", 0, "image",
                    "/  (0 kB) \n(null) x (null) x (null) (null) \n\n\n\n/"},  // the root itself
        SummaryCase{"/P\nx/a\x1B.jpg", 5'123'456, "dirty",
                    "a\uFFFD.jpg  (5123 kB) \n6000 x 4000 x 8 RGB\uFFFD \n\nTaken on 2015\uFFFD\uFFFD \n"
                    "Model Canon \uFFFD]0;PWNED\uFFFD X\uFFFDTaken on 1999 \n50mm 1/200s F2.8 ISO "
                    "100\n\n/P\uFFFDx"}));

// Plain decimal, never an exponent. Exposures round to a whole reciprocal, keep the camera's
// tenths above 1/10 s, and show seconds from 1 s.
TEST(SummaryNumbers, printInPlainDecimal) {
    const std::pair<std::optional<double>, const char*> numbers[] = {{640.0, "640"},
                                                                     {2.8, "2.8"},
                                                                     {0.1 + 0.2, "0.30000000000000004"},
                                                                     {std::nullopt, "(null)"},
                                                                     {1e21, "1000000000000000000000"},
                                                                     {100000.0, "100000"},
                                                                     {0.0001, "0.0001"},
                                                                     {1.5e-7, "0.00000015"}};
    for (const auto& [value, text] : numbers) EXPECT_EQ(formatNumber(value), text);
    const std::pair<std::optional<double>, const char*> exposures[] = {
        {1.0 / 250, "1/250"}, {1.0 / 60, "1/60"}, {1.0 / 8000, "1/8000"}, {0.005, "1/200"},
        {0.125, "1/8"},       {0.769, "1/1.3"},   {0.4, "1/2.5"},         {1.0 / 3, "1/3"},
        {0.99999, "1"},       {2.0, "2"},         {1.3, "1.3"},           {1e-9, "1/1000000000"},
        {100000.0, "100000"}, {0.0, "(null)"},    {-1.0, "(null)"},       {std::nullopt, "(null)"}};
    for (const auto& [seconds, text] : exposures) EXPECT_EQ(formatExposure(seconds), text) << text;
}

TEST(SummaryCleaning, replacesControlsAndInvalidUtf8WithReplacementCharacter) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"Caf\xC3\xA9 \xF0\x9F\x98\x80 \xC2\xA0|",
         "Caf\xC3\xA9 \xF0\x9F\x98\x80 \xC2\xA0|"},                                         // é, emoji, NBSP
        {std::string_view("\n\r\t\0\x1F\x7F", 6), "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},  // C0, DEL
        {"\xC2\x80\xC2\x9B\xC2\x9F", "\uFFFD\uFFFD\uFFFD"},                                 // C1
        {"lat\xE9", "lat\uFFFD"},                                                           // Latin-1
        {"\xE2\x82x", "\uFFFDx"},                                                           // cut short
        {"\xC0\xAF", "\uFFFD\uFFFD"},                                                       // overlong
        {"\xE0\x80\xAF", "\uFFFD\uFFFD\uFFFD"},
        {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},                      // surrogate
        {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},            // past U+10FFFF
        {"\xF4\x8F\xBF\xBF\xEF\xBF\xBD", "\xF4\x8F\xBF\xBF\uFFFD"},  // U+10FFFF, U+FFFD
        {"\x80\xBF\xFF", "\uFFFD\uFFFD\uFFFD"},
    };
    for (const auto& [raw, clean] : cases) EXPECT_EQ(cleanText(raw), clean) << ::testing::PrintToString(raw);
}

}  // namespace
}  // namespace quillory
