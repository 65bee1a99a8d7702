#include <gtest/gtest.h>

#include <QImage>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "app/cli.h"
#include "app/png_encoding.h"
#include "inspection/url.h"
#include "tests/support/fakes.h"
#include "tests/support/support.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// Inode, mode, size, time and link target of every name in the working folder but `except`:
// a file rewritten or replaced shows.
std::string folder(const std::string& except) {
    std::string listing(1 << 16, '\0');
    FILE* ls = ::popen(("ls -lAi --time-style=+%s.%N -I '" + except + "'").c_str(), "r");
    listing.resize(std::fread(listing.data(), 1, listing.size(), ls));
    ::pclose(ls);
    return listing;
}

struct CliCase {
    Args args;
    std::optional<Args> trayFiles;  // none: the command line answers
    int status;
    std::string shows;       // on stdout for status 0, else on stderr
    const char* setup = "";  // shell commands run in the folder first
};

// Only option-free arguments, or those after "--", start the tray. The command line needs
// "--summary" first, reads the photo once, makes a preview only for "--thumbnail", and for
// anything it does not know says in one line what is wrong, with status 2. It writes a preview
// only as a whole and only over a PNG or nothing; refused or failed (full.png lies on a disk that
// fills up after 16 bytes), every file stays as it was and no temporary is left behind.
TEST(Cli, writesOnlyWhatTheArgumentsAskForAndOnlyOverAPng) {
    // A folder whose name needs escaping in a URL and is not UTF-8, holding the photo a.jpg
    // and real.png; b.jpg gives no preview and a.png is no photo.
    const support::TempDir temp;
    const fs::path dir = temp.path() / "cli #%?\xe9";
    fs::create_directory(dir);
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    ::umask(022);
    ASSERT_EQ(std::system("echo photo > a.jpg && printf '\\211PNG\\r\\n\\032\\nold' > real.png"), 0);
    testing::FakeImageService images;
    for (const char* file : {"a.jpg", "b.jpg", "a.png"}) images.addPhoto((dir / file).string());
    images.files[(dir / "b.jpg").string()].thumbnail.reset();
    const std::string summary =
        "a.jpg  (123 kB) \n6000 x 4000 x 8 RGB \n\nModel Demo Cam \n(null)mm (null)s F(null) ISO 0\n\n" +
        temp.path().string() + "/cli #%?\uFFFD\n";
    const auto thumb = [](const char* to) { return Args{"--summary", "a.jpg", "--thumbnail", to}; };
    const CliCase cases[] = {
        {{}, Args{}, 0, ""},
        {{"a.jpg", "file:///b.jpg", "-"}, Args{"a.jpg", "file:///b.jpg", "-"}, 0, ""},
        {{"--", "--summary", "-t", "--thumbnail"}, Args{"--summary", "-t", "--thumbnail"}, 0, ""},
        {{"a.jpg", "--", "--"}, Args{"a.jpg", "--"}, 0, ""},
        {{"--help"}, {}, kExitOk, "Usage: quillory [--] [FILE-or-URL...]\n       quillory --summary FILE"},
        {{"--version"}, {}, kExitOk, "quillory 0.1.0\n"},
        {{"--summary", "a.jpg"}, {}, kExitOk, summary},
        {{"--summary", "./x/../a.jpg", "--"}, {}, kExitOk, summary},
        {{"--summary", Url::fromLocalPath((dir / "a.jpg").string()).string()}, {}, kExitOk, summary},
        {{"--summary", "a.png", "--thumbnail", "t.png"}, {}, kExitOk, "No JPEG / CR2 (RAW) Files selected\n"},
        {{"--summary", "b.jpg", "--thumbnail", "t.png"}, {}, kExitOk, "b.jpg  (123 kB) \n"},
        {{"--summary", "gone\x1b.jpg"}, {}, kExitUnreadable, "quillory: cannot read gone\uFFFD.jpg: No such"},
        // clang-format off
        {{"--summary"}, {}, kExitUsage, "--summary needs a FILE"},
        {{"--thumbnail", "t.png", "--summary", "a.jpg"}, {}, kExitUsage, "--thumbnail needs --summary FILE before it"},
        {{"a.jpg", "--summary", "a.jpg"}, {}, kExitUsage, "--summary must be the first argument"},
        {{"--summary", "a.jpg", "--summary", "a.jpg"}, {}, kExitUsage, "--summary may be given only once"},
        {{"--summary", "a.jpg", "extra"}, {}, kExitUsage, "unexpected argument 'extra'"},
        {{"--summary", "a.jpg", "--thumbnail"}, {}, kExitUsage, "--thumbnail needs a FILE"},
        {{"--summary", "a.jpg", "--", "--thumbnail", "t.png"}, {}, kExitUsage, "unexpected argument '--thumbnail'"},
        {{"--summary", "a.jpg", "--thumbnail", "t.png", "--thumbnail", "t.png"}, {}, kExitUsage, "--thumbnail may be given only once"},
        {{"--bogus"}, {}, kExitUsage, "unknown option '--bogus'"},
        {{"--version", "--help"}, {}, kExitUsage, "--version takes no other argument"},
        {{"a.jpg", "-x\x1b"}, {}, kExitUsage, "unknown option '-x\uFFFD'"},
        // clang-format on
        {thumb("new.png"), {}, kExitOk, summary},
        {thumb("old.png"), {}, kExitOk, summary, "cp real.png old.png"},
        {thumb("empty.png"), {}, kExitOk, summary, ": > empty.png"},
        {thumb("a.jpg"), {}, kExitUnwritable, "will not write a.jpg: it is the photo being read"},
        {thumb("hard.png"), {}, kExitUnwritable, "it is the photo being read", "ln a.jpg hard.png"},
        {thumb("x.txt"), {}, kExitUnwritable, "it exists and is not a PNG", "echo mine > x.txt"},
        {thumb("link.png"), {}, kExitUnwritable, "it is a symbolic link", "ln -s real.png link.png"},
        {thumb("gone.png"), {}, kExitUnwritable, "it is a symbolic link", "ln -s /x/y gone.png"},
        {thumb("sub"), {}, kExitUnwritable, "it is not a regular file", "mkdir sub"},
        {thumb("/dev/full"), {}, kExitUnwritable, "it is not a regular file"},
        {thumb("full.png"), {}, kExitUnwritable, "full.png: File too large", "cp real.png full.png"},
    };
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit small{16, saved.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(trayFiles(c.args), c.trayFiles);
        if (c.trayFiles) continue;
        ASSERT_EQ(std::system(c.setup), 0);
        const std::string written = c.args.size() == 4 && c.shows == summary ? c.args[3] : "";
        const std::string before = folder(written);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, c.args.back() == "full.png" ? &small : &saved), 0);
        std::ostringstream out, err;
        images.opened.clear();
        images.previews = 0;
        EXPECT_EQ(runCli(c.args, CliContext{images, encodePng, "0.1.0", out, err}), c.status);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_NE((c.status == kExitOk ? out : err).str().find(c.shows), std::string::npos)
            << out.str() << err.str();
        if (c.status == kExitUsage) {  // one line that says what is wrong, one that says where to look
            EXPECT_EQ(err.str(), "quillory: " + c.shows + "\nTry 'quillory --help' for more information.\n");
            EXPECT_EQ(out.str(), "");
        }
        EXPECT_LE(images.opened.size(), 1u);
        EXPECT_TRUE(images.previews == 0 || c.args.size() == 4);  // only for --thumbnail
        if (!written.empty()) {
            EXPECT_EQ(QImage(QString::fromStdString(written), "PNG").width(), 2);
            EXPECT_EQ(fs::status(written).permissions(), fs::perms(0644));  // as the umask says, not 0600
        }
        EXPECT_EQ(folder(written), before);
    }
    ASSERT_EQ(::chdir("/"), 0);
}

}  // namespace
}  // namespace quillory
