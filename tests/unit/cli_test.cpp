#include <gtest/gtest.h>

#include <QImage>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "app/cli.h"
#include "app/png_encoding.h"
#include "tests/support/fakes.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;

const std::string kPng = "\x89PNG\r\n\x1a\nold";

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// What a name holds: a link's target, a folder's mark or a file's bytes.
std::string snapshot(const fs::path& path) {
    if (fs::is_symlink(path)) return "-> " + fs::read_symlink(path).string();
    return fs::is_directory(path) ? "<folder>" : contents(path);
}

void put(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class CliTest : public ::testing::Test {
protected:
    CliTest() {
        char folder[] = "/tmp/quillory-cli-XXXXXX";
        dir = ::mkdtemp(folder);
        photo = (dir / "a.jpg").string();
        put(photo, "JPEG bytes");
        images.addPhoto(photo);
        images.addPhoto("/p/a.jpg");
    }
    ~CliTest() override { fs::remove_all(dir); }

    int run(std::vector<std::string> args) {
        return runCli(args, CliContext{images, encodePng, "0.1.0", out, err});
    }

    // What every name in the folder holds: a leftover temporary shows up here too.
    std::map<std::string, std::string> folder() const {
        std::map<std::string, std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names[entry.path().filename()] = snapshot(entry.path());
        return names;
    }

    fs::path dir;
    std::string photo;
    testing::FakeImageService images;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(CliTest, summaryAloneReadsOnceAndMakesNoPreview) {
    for (const std::string file : {"/p/a.jpg", "file:///p/a.jpg", "/p/./x/../a.jpg"}) {
        out.str("");
        EXPECT_EQ(run({"--summary", file}), kExitOk);
        EXPECT_EQ(out.str(),
                  "a.jpg  (123 kB) \n6000 x 4000 x 8 RGB \n\nModel Demo Cam \n(null)mm (null)s F(null) ISO "
                  "0\n\n/p\n");
    }
    EXPECT_EQ(images.opened, std::vector<std::string>(3, "/p/a.jpg"));
    EXPECT_EQ(images.previews, 0);
    EXPECT_TRUE(err.str().empty());
}

TEST_F(CliTest, unreadableFileNamesFileAndReason) {
    EXPECT_EQ(run({"--summary", "/p/missing\x1b.jpg"}), kExitUnreadable);
    EXPECT_EQ(err.str(), "quillory: cannot read /p/missing\uFFFD.jpg: No such file or directory\n");
    EXPECT_TRUE(out.str().empty());
}

TEST_F(CliTest, nonPhotoNameShowsWhatThePanelWould) {
    images.addPhoto("/p/a.png");
    EXPECT_EQ(run({"--summary", "/p/a.png", "--thumbnail", (dir / "t.png").string()}), kExitOk);
    EXPECT_EQ(out.str(), "No JPEG / CR2 (RAW) Files selected\n");
    EXPECT_EQ(images.previews, 0);
    EXPECT_EQ(folder().size(), 1u);
}

TEST_F(CliTest, noPreviewWritesNothingButSucceeds) {
    images.files[photo].thumbnail.reset();
    EXPECT_EQ(run({"--summary", photo, "--thumbnail", (dir / "t.png").string()}), kExitOk);
    EXPECT_EQ(folder().size(), 1u);
    EXPECT_NE(err.str().find("no preview"), std::string::npos);
}

TEST_F(CliTest, helpAndVersion) {
    EXPECT_EQ(run({"--help"}), kExitOk);
    EXPECT_NE(out.str().find("--summary FILE"), std::string::npos);
    out.str("");
    EXPECT_EQ(run({"--version"}), kExitOk);
    EXPECT_EQ(out.str(), "quillory 0.1.0\n");
}

TEST_F(CliTest, wrongUsageExitsTwoAndTouchesNothing) {
    const std::string target = (dir / "t.png").string();
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--summary"},
        {"--thumbnail", target},
        {"--thumbnail", target, "--summary", photo},
        {"--summary", photo, "extra"},
        {"--summary", photo, "--thumbnail"},
        {"--summary", photo, "--", "--thumbnail", target},
        {"--summary", photo, "--summary", photo},
        {"--summary", photo, "--thumbnail", target, "--thumbnail", target},
        {"--bogus"},
        {"--help", "--version"}};
    for (const auto& args : cases) {
        err.str("");
        EXPECT_EQ(run(args), kExitUsage) << ::testing::PrintToString(args);
        EXPECT_EQ(err.str().rfind("Usage:", 0), 0u);
    }
    EXPECT_TRUE(out.str().empty());
    EXPECT_TRUE(images.opened.empty());
    EXPECT_EQ(folder().size(), 1u);
}

TEST(CliDispatch, onlyOptionFreeArgumentsOrThoseAfterDashDashStartTheTray) {
    using Files = std::optional<std::vector<std::string>>;
    const std::pair<std::vector<std::string>, Files> cases[] = {
        {{}, Files{std::vector<std::string>{}}},
        {{"a.jpg", "file:///b.jpg", "-"}, Files{{"a.jpg", "file:///b.jpg", "-"}}},
        {{"--", "--summary", "--t.jpg", "--thumbnail", "victim.txt"},
         Files{{"--summary", "--t.jpg", "--thumbnail", "victim.txt"}}},
        {{"a.jpg", "--", "--"}, Files{{"a.jpg", "--"}}},
        {{"--summary", "a.jpg"}, std::nullopt},
        {{"a.jpg", "--summary", "b.jpg"}, std::nullopt},
        {{"--help"}, std::nullopt},
        {{"a.jpg", "-x"}, std::nullopt},
    };
    for (const auto& [args, files] : cases)
        EXPECT_EQ(trayFiles(args), files) << ::testing::PrintToString(args);
}

// `quillory *` in a folder whose files are named like options never writes anything.
TEST_F(CliTest, globOfOptionNamedFilesWritesNothing) {
    const std::vector<std::string> glob = {"--summary", "--t.jpg", "--thumbnail", "victim.txt"};
    for (const std::string& name : glob) put(dir / name, "mine");
    images.addPhoto((dir / "--t.jpg").string());
    const auto before = folder();
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    EXPECT_EQ(run(glob), kExitUnwritable);
    ASSERT_EQ(::chdir("/"), 0);
    EXPECT_EQ(err.str(), "quillory: will not write victim.txt: it exists and is not a PNG\n");
    EXPECT_EQ(folder(), before);
}

struct Target {
    const char* name;
    void (*prepare)(const fs::path& dir, const std::string& photo);
    const char* target;  // in the folder; absolute when it starts with '/'
    int status;
    const char* reason;  // on stderr; empty: the PNG is written
};

class CliOutput : public CliTest, public ::testing::WithParamInterface<Target> {};

// Written only as a whole and only over a PNG or nothing; refused or failed, every file stays
// as it was and no temporary is left behind.
TEST_P(CliOutput, replacesOnlyPngsAndOnlyAsAWhole) {
    const Target& c = GetParam();
    if (c.prepare) c.prepare(dir, photo);
    std::map<std::string, std::string> before = folder();
    EXPECT_EQ(
        run({"--summary", photo, "--thumbnail", c.target[0] == '/' ? c.target : (dir / c.target).string()}),
        c.status);
    EXPECT_NE(err.str().find(c.reason), std::string::npos) << err.str();
    std::map<std::string, std::string> after = folder();
    if (c.status == kExitOk) {
        EXPECT_EQ(QImage::fromData(QByteArray::fromStdString(after[c.target]), "PNG").width(), 2);
        const mode_t mask = ::umask(0);
        ::umask(mask);
        EXPECT_EQ(static_cast<mode_t>(fs::status(dir / c.target).permissions()), 0666 & ~mask);  // not 0600
        before.erase(c.target);
        after.erase(c.target);
    }
    EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, CliOutput,
    ::testing::Values(
        Target{"newFile", nullptr, "t.png", kExitOk, ""},
        Target{"byteName", nullptr, "lat\xe9.png", kExitOk, ""},
        Target{"existingPng", [](const fs::path& d, const std::string&) { put(d / "t.png", kPng); }, "t.png",
               kExitOk, ""},
        Target{"emptyFile", [](const fs::path& d, const std::string&) { put(d / "t.png", ""); }, "t.png",
               kExitOk, ""},
        Target{"thePhoto", nullptr, "a.jpg", kExitUnwritable, "it is the photo being read"},
        Target{"hardLinkToPhoto",
               [](const fs::path& d, const std::string& p) { fs::create_hard_link(p, d / "t.png"); }, "t.png",
               kExitUnwritable, "it is the photo being read"},
        Target{"notPng", [](const fs::path& d, const std::string&) { put(d / "victim.txt", "precious"); },
               "victim.txt", kExitUnwritable, "it exists and is not a PNG"},
        Target{"linkToPng",
               [](const fs::path& d, const std::string&) {
                   put(d / "real.png", kPng);
                   fs::create_symlink("real.png", d / "t.png");
               },
               "t.png", kExitUnwritable, "it is a symbolic link"},
        Target{"danglingLink",
               [](const fs::path& d, const std::string&) { fs::create_symlink("/nowhere/x", d / "t.png"); },
               "t.png", kExitUnwritable, "it is a symbolic link"},
        Target{"folder", [](const fs::path& d, const std::string&) { fs::create_directory(d / "sub"); },
               "sub", kExitUnwritable, "it is not a regular file"},
        Target{"device", nullptr, "/dev/full", kExitUnwritable, "it is not a regular file"},
        Target{"missingFolder", nullptr, "no/t.png", kExitUnwritable, "cannot write"},
        Target{"trailingSlash", nullptr, "t/", kExitUnwritable, "cannot write"}),
    [](const auto& p) { return std::string(p.param.name); });

// A disk that fills up halfway, or a preview that cannot be encoded: the old PNG stays, the
// reason is given, nothing is left over.
TEST_F(CliTest, failedWriteKeepsTheOldFile) {
    put(dir / "t.png", kPng);
    const auto before = folder();
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 16;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int status = run({"--summary", photo, "--thumbnail", (dir / "t.png").string()});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(status, kExitUnwritable);
    EXPECT_NE(err.str().find("File too large"), std::string::npos) << err.str();
    EXPECT_EQ(folder(), before);

    const auto noPng = [](const Bitmap&) { return std::string(); };
    EXPECT_EQ(runCli({"--summary", photo, "--thumbnail", (dir / "t.png").string()},
                     CliContext{images, noPng, "0.1.0", out, err}),
              kExitUnwritable);
    EXPECT_NE(err.str().find("could not be encoded"), std::string::npos);
    EXPECT_EQ(folder(), before);
}

// Names are bytes: a folder and a target whose names are not UTF-8 are read and written as
// they are, and only shown cleaned.
TEST_F(CliTest, relativeNamesResolveFromAFolderThatIsNotUtf8) {
    const fs::path folder = dir / "lat\xe9";
    fs::create_directory(folder);
    images.addPhoto((folder / "a.jpg").string());
    ASSERT_EQ(::chdir(folder.c_str()), 0);
    EXPECT_EQ(workingFolder(), folder.string());
    EXPECT_EQ(run({"--summary", "a.jpg", "--thumbnail", "t\xe9.png"}), kExitOk);
    ASSERT_EQ(::chdir("/"), 0);
    EXPECT_EQ(images.opened, std::vector<std::string>{(folder / "a.jpg").string()});
    EXPECT_TRUE(fs::is_regular_file(folder / "t\xe9.png"));
    EXPECT_EQ(out.str().substr(out.str().size() - 7), "lat\uFFFD\n");
}

}  // namespace
}  // namespace quillory
