#include <gtest/gtest.h>

#include <QImage>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "app/cli.h"
#include "app/png_encoding.h"
#include "inspection/url.h"
#include "tests/support/fakes.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Args = std::vector<std::string>;

const std::string kPng = "\x89PNG\r\n\x1a\nold";

void put(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Runs in a fresh folder whose name needs escaping in a URL and is not UTF-8. It holds the
// photo a.jpg and real.png; b.jpg gives no preview and a.png is no photo.
class Cli : public ::testing::Test {
protected:
    Cli() {
        char name[] = "/tmp/quillory cli #%?\xe9XXXXXX";
        dir = ::mkdtemp(name);
        EXPECT_EQ(::chdir(dir.c_str()), 0);
        put("a.jpg", "JPEG bytes");
        put("real.png", kPng);
        for (const char* file : {"a.jpg", "b.jpg", "a.png"}) images.addPhoto((dir / file).string());
        images.files[(dir / "b.jpg").string()].thumbnail.reset();
    }
    ~Cli() override {
        EXPECT_EQ(::chdir("/"), 0);
        fs::remove_all(dir);
    }

    int run(const Args& args) {
        out.str("");
        err.str("");
        return runCli(args, CliContext{images, encodePng, "0.1.0", out, err});
    }

    // What every name in the folder holds: a link's target, a folder's mark or a file's bytes.
    std::map<std::string, std::string> folder() const {
        std::map<std::string, std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            std::ifstream in(entry.path(), std::ios::binary);
            names[entry.path().filename()] = entry.is_symlink() ? "-> " + fs::read_symlink(entry).string()
                                             : entry.is_directory()
                                                 ? "<folder>"
                                                 : std::string(std::istreambuf_iterator(in), {});
        }
        return names;
    }

    fs::path dir;
    testing::FakeImageService images;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(Cli, summaryReadsThePhotoOnceAndMakesNoPreview) {
    const std::string photo = (dir / "a.jpg").string();
    std::string shown = dir.string();
    shown.replace(shown.find('\xe9'), 1, "\uFFFD");
    for (const std::string& file : {"a.jpg"s, "./x/../a.jpg"s, Url::fromLocalPath(photo).string()}) {
        EXPECT_EQ(run({"--summary", file}), kExitOk);
        EXPECT_EQ(
            out.str(),
            "a.jpg  (123 kB) \n6000 x 4000 x 8 RGB \n\nModel Demo Cam \n(null)mm (null)s F(null) ISO 0\n\n" +
                shown + "\n");
    }
    EXPECT_EQ(images.opened, Args(3, photo));
    EXPECT_EQ(images.previews, 0);
    EXPECT_TRUE(err.str().empty());
}

struct DispatchCase {
    Args args;
    std::optional<Args> trayFiles;  // none: the command line answers
    int status;
    std::string shows;  // the start of stdout on status 0, of stderr otherwise
};

// Only option-free arguments, or those after "--", start the tray; the command line needs
// "--summary" first, and gives the usage and status 2 for anything it does not know. None of
// it writes a file.
TEST_F(Cli, argumentsChooseTheTrayOrTheCommandLine) {
    const DispatchCase cases[] = {
        {{}, Args{}, 0, ""},
        {{"a.jpg", "file:///b.jpg", "-"}, Args{"a.jpg", "file:///b.jpg", "-"}, 0, ""},
        {{"--", "--summary", "--t.jpg", "--thumbnail", "x"},
         Args{"--summary", "--t.jpg", "--thumbnail", "x"},
         0,
         ""},
        {{"a.jpg", "--", "--"}, Args{"a.jpg", "--"}, 0, ""},
        {{"--help"}, {}, kExitOk, "Usage: quillory [--] [FILE-or-URL...]\n       quillory --summary FILE"},
        {{"--version"}, {}, kExitOk, "quillory 0.1.0\n"},
        {{"--summary", "a.jpg", "--"}, {}, kExitOk, "a.jpg  (123 kB) \n"},
        {{"--summary", "a.png", "--thumbnail", "t.png"}, {}, kExitOk, "No JPEG / CR2 (RAW) Files selected\n"},
        {{"--summary", "b.jpg", "--thumbnail", "t.png"}, {}, kExitOk, "b.jpg  (123 kB) \n"},
        {{"--summary", "gone\x1b.jpg"},
         {},
         kExitUnreadable,
         "quillory: cannot read gone\uFFFD.jpg: No such file"},
        {{"--summary"}, {}, kExitUsage, "Usage:"},
        {{"--thumbnail", "t.png", "--summary", "a.jpg"}, {}, kExitUsage, "Usage:"},
        {{"a.jpg", "--summary", "a.jpg"}, {}, kExitUsage, "Usage:"},
        {{"--summary", "a.jpg", "extra"}, {}, kExitUsage, "Usage:"},
        {{"--summary", "a.jpg", "--thumbnail"}, {}, kExitUsage, "Usage:"},
        {{"--summary", "a.jpg", "--", "--thumbnail", "t.png"}, {}, kExitUsage, "Usage:"},
        {{"--summary", "a.jpg", "--thumbnail", "t.png", "--thumbnail", "t.png"}, {}, kExitUsage, "Usage:"},
        {{"--bogus"}, {}, kExitUsage, "Usage:"},
        {{"a.jpg", "-x"}, {}, kExitUsage, "Usage:"},
    };
    const auto before = folder();
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(trayFiles(c.args), c.trayFiles);
        if (c.trayFiles) continue;
        EXPECT_EQ(run(c.args), c.status);
        EXPECT_EQ((c.status == kExitOk ? out : err).str().rfind(c.shows, 0), 0u) << out.str() << err.str();
    }
    EXPECT_EQ(folder(), before);
}

struct Target {
    const char* name;
    const char* before;  // what the target is beforehand; "full": a PNG on a disk that fills up
    const char* target;
    int status;
    const char* reason;  // on stderr; empty: the PNG is written
};

class CliOutput : public Cli, public ::testing::WithParamInterface<Target> {};

// Written only as a whole and only over a PNG or nothing; refused or failed, every file stays
// as it was and no temporary is left behind.
TEST_P(CliOutput, replacesOnlyPngsAndOnlyAsAWhole) {
    const Target& c = GetParam();
    const std::string before = c.before;
    if (before == "png" || before == "full") put(c.target, kPng);
    if (before == "empty" || before == "text") put(c.target, before == "text" ? "precious" : "");
    if (before == "hardLink") fs::create_hard_link("a.jpg", c.target);
    if (before == "link" || before == "dangling")
        fs::create_symlink(before == "link" ? "real.png" : "/x/y", c.target);
    if (before == "folder") fs::create_directory(c.target);
    auto files = folder();
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small{16, saved.rlim_max};
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, before == "full" ? &small : &saved), 0);
    const int status = run({"--summary", "a.jpg", "--thumbnail", c.target});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(status, c.status);
    EXPECT_NE(err.str().find(c.reason), std::string::npos) << err.str();
    auto after = folder();
    if (c.status == kExitOk) {
        EXPECT_EQ(QImage::fromData(QByteArray::fromStdString(after[c.target]), "PNG").width(), 2);
        const mode_t mask = ::umask(0);
        ::umask(mask);
        EXPECT_EQ(static_cast<mode_t>(fs::status(c.target).permissions()), 0666 & ~mask);  // not 0600
        files.erase(c.target);
        after.erase(c.target);
    }
    EXPECT_EQ(after, files);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, CliOutput,
    ::testing::Values(Target{"newFile", "", "t.png", kExitOk, ""},
                      Target{"existingPng", "png", "t.png", kExitOk, ""},
                      Target{"emptyFile", "empty", "t.png", kExitOk, ""},
                      Target{"thePhoto", "", "a.jpg", kExitUnwritable, "it is the photo being read"},
                      Target{"hardLinkToPhoto", "hardLink", "t.png", kExitUnwritable,
                             "it is the photo being read"},
                      Target{"notPng", "text", "x.txt", kExitUnwritable,
                             "will not write x.txt: it exists and is not a PNG"},
                      Target{"linkToPng", "link", "t.png", kExitUnwritable, "it is a symbolic link"},
                      Target{"danglingLink", "dangling", "t.png", kExitUnwritable, "it is a symbolic link"},
                      Target{"folder", "folder", "sub", kExitUnwritable, "it is not a regular file"},
                      Target{"device", "", "/dev/full", kExitUnwritable, "it is not a regular file"},
                      Target{"missingFolder", "", "no/t.png", kExitUnwritable, "cannot write"},
                      Target{"diskFull", "full", "t.png", kExitUnwritable, "File too large"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace quillory
