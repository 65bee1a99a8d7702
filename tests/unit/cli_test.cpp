#include <gtest/gtest.h>

#include <sstream>

#include "app/cli.h"
#include "tests/support/fakes.h"

namespace quillory {
namespace {

class CliTest : public ::testing::Test {
protected:
    CliTest() { images.addPhoto("/p/a.jpg"); }

    int run(std::vector<std::string> args) {
        return runCli(args, CliContext{images, writer, "0.1.0", out, err});
    }

    testing::FakeImageService images;
    std::vector<std::string> written;
    bool writerSucceeds = true;
    PngWriter writer = [this](const Bitmap& picture, const std::string& path, std::string& why) {
        written.push_back(path + ":" + std::to_string(picture.width));
        why = "Read-only file system";
        return writerSucceeds;
    };
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(CliTest, printsSummaryAndOneNewline) {
    EXPECT_EQ(run({"--summary", "/p/a.jpg"}), kExitOk);
    EXPECT_EQ(
        out.str(),
        "a.jpg  (123 kB) \n6000 x 4000 x 8 RGB \n\nModel Demo Cam \n(null)mm (null)s F(null) ISO 0\n\n/p\n");
    EXPECT_TRUE(err.str().empty());
    EXPECT_TRUE(written.empty());
}

TEST_F(CliTest, acceptsFileUrls) {
    EXPECT_EQ(run({"--summary", "file:///p/a.jpg"}), kExitOk);
    EXPECT_EQ(out.str().rfind("a.jpg  (123 kB)", 0), 0u);
}

TEST_F(CliTest, writesThumbnailWhenAsked) {
    EXPECT_EQ(run({"--summary", "/p/a.jpg", "--thumbnail", "/tmp/t.png"}), kExitOk);
    EXPECT_EQ(written, std::vector<std::string>{"/tmp/t.png:2"});
}

TEST_F(CliTest, noPreviewWritesNothingButSucceeds) {
    images.files["/p/a.jpg"].thumbnail.reset();
    EXPECT_EQ(run({"--thumbnail", "/tmp/t.png", "--summary", "/p/a.jpg"}), kExitOk);
    EXPECT_TRUE(written.empty());
    EXPECT_NE(err.str().find("no preview"), std::string::npos);
}

TEST_F(CliTest, failedPngWriteIsNotReportedAsSuccess) {
    writerSucceeds = false;
    EXPECT_EQ(run({"--summary", "/p/a.jpg", "--thumbnail", "/ro/t.png"}), kExitUnwritable);
    EXPECT_NE(err.str().find("/ro/t.png: Read-only file system"), std::string::npos);
}

TEST_F(CliTest, unreadableFileNamesFileAndReason) {
    EXPECT_EQ(run({"--summary", "/p/missing.jpg"}), kExitUnreadable);
    EXPECT_EQ(err.str(), "quillory: cannot read /p/missing.jpg: No such file or directory\n");
    EXPECT_TRUE(out.str().empty());
}

TEST_F(CliTest, nonPhotoNameShowsWhatThePanelWould) {
    images.addPhoto("/p/a.png");
    EXPECT_EQ(run({"--summary", "/p/a.png"}), kExitOk);
    EXPECT_EQ(out.str(), "No JPEG / CR2 (RAW) Files selected\n");
}

TEST_F(CliTest, helpAndVersion) {
    EXPECT_EQ(run({"--help"}), kExitOk);
    EXPECT_NE(out.str().find("--summary FILE"), std::string::npos);
    out.str("");
    EXPECT_EQ(run({"--version"}), kExitOk);
    EXPECT_EQ(out.str(), "quillory 0.1.0\n");
}

TEST_F(CliTest, wrongUsageExitsTwo) {
    const std::vector<std::vector<std::string>> cases = {{},
                                                         {"--summary"},
                                                         {"--thumbnail", "t.png"},
                                                         {"--summary", "a.jpg", "extra"},
                                                         {"--summary", "a.jpg", "--summary", "b.jpg"},
                                                         {"--bogus"},
                                                         {"--help", "--version"}};
    for (const auto& args : cases) {
        err.str("");
        EXPECT_EQ(run(args), kExitUsage) << ::testing::PrintToString(args);
        EXPECT_NE(err.str().find("Usage:"), std::string::npos);
    }
}

}  // namespace
}  // namespace quillory
