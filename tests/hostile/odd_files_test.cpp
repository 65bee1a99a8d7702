// Files that are not what their name says, and files that change under the program: each is
// selected as photo.jpg and shown by the fill as the program runs it. What must come out is a
// sound panel (the name, absent values, no picture) and never a wait, a crash or a read of
// something that is not a regular file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>

#include "inspection/panel_fill.h"
#include "inspection/read_queue.h"
#include "platform/imageio/image_service_factory.h"
#include "tests/hostile/hostile_support.h"
#include "tests/support/fakes.h"
#include "tests/support/quadrants.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using hostile::fill;
using hostile::unsoundness;
using hostile::urlOf;
using support::Bytes;

Bytes fixture(const char* name) {
    return support::readFile(support::data(name));
}

void makeSocket(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
    ::listen(fd, 1);
    ::close(fd);  // the socket file stays
}

struct SpecialFile {
    const char* name;
    std::function<void(const fs::path& photo)> make;
    const char* urlSuffix = "";
};
void PrintTo(const SpecialFile& c, std::ostream* os) {
    *os << c.name;
}

class SpecialFileNamedPhoto : public ::testing::TestWithParam<SpecialFile> {};

TEST_P(SpecialFileNamedPhoto, showsNameAndAbsentValuesWithoutPicture) {
    const support::TempDir dir;
    const fs::path photo = dir.path() / "photo.jpg";
    GetParam().make(photo);
    const hostile::FillOutcome shown = fill({urlOf(photo) + GetParam().urlSuffix});
    EXPECT_EQ(unsoundness(shown, photo, 0), "");
    EXPECT_EQ(shown.picture, nullptr);
    EXPECT_NE(shown.summary.find("(null) x (null) x (null) (null) \n"), std::string::npos) << shown.summary;
}

INSTANTIATE_TEST_SUITE_P(
    PathologicalFile, SpecialFileNamedPhoto,
    ::testing::Values(
        SpecialFile{"fifoWithoutWriter", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        SpecialFile{"linkToCharacterDevice", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }},
        SpecialFile{"directory", [](const fs::path& p) { fs::create_directory(p); }},
        SpecialFile{"directoryAsFolderUrl", [](const fs::path& p) { fs::create_directory(p); }, "/"},
        SpecialFile{"socket", makeSocket},
        SpecialFile{"danglingSymlink",
                    [](const fs::path& p) { fs::create_symlink(p.parent_path() / "gone", p); }},
        SpecialFile{"symlinkToItself", [](const fs::path& p) { fs::create_symlink(p, p); }},
        SpecialFile{"emptyFile", [](const fs::path& p) { support::writeFile(p, {}); }},
        // Regular to fstat, of size 0, yet never-ending when read.
        SpecialFile{"linkToProcFile", [](const fs::path& p) { fs::create_symlink("/proc/self/status", p); }}),
    [](const ::testing::TestParamInfo<SpecialFile>& param) { return std::string(param.param.name); });

TEST(PathologicalFile, fifoWithWaitingDataIsNeitherWaitedForNorRead) {
    const support::TempDir dir;
    const fs::path photo = dir.path() / "photo.jpg";
    ASSERT_EQ(::mkfifo(photo.c_str(), 0600), 0);
    const int reader = ::open(photo.c_str(), O_RDONLY | O_NONBLOCK);
    const int writer = ::open(photo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_GE(writer, 0);
    const Bytes jpeg = fixture("jpeg/orientation-0.jpg");
    ASSERT_EQ(::write(writer, jpeg.data(), jpeg.size()), static_cast<ssize_t>(jpeg.size()));

    const hostile::FillOutcome shown = fill({urlOf(photo)});
    EXPECT_EQ(unsoundness(shown, photo, 0), "");
    EXPECT_EQ(shown.picture, nullptr);

    Bytes left(jpeg.size() + 1);
    EXPECT_EQ(::read(reader, left.data(), left.size()), static_cast<ssize_t>(jpeg.size()))
        << "the fill took bytes out of the pipe";
    ::close(writer);
    ::close(reader);
}

TEST(PathologicalFile, withoutReadPermissionShowsNameAndNoPicture) {
    const support::TempDir dir;
    const fs::path photo = dir.path() / "photo.jpg";
    support::writeFile(photo, fixture("jpeg/bare.jpg"));
    fs::permissions(photo, fs::perms::none);
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const bool root = ::geteuid() == 0;
    // Root reads every file: the child gives its rights up first.
    const hostile::ChildResult child = hostile::inChild([&]() -> std::string {
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return "cannot drop root rights";
        std::string why;
        if (imageio::makeImageService()->createWithPath(photo.string(), &why) != nullptr)
            return "the unreadable file was opened";
        if (why != "Permission denied") return "the reason given was " + why;
        return unsoundness(fill({urlOf(photo)}), photo, 0);
    });
    EXPECT_TRUE(child.exitedCleanly) << child.how;
    EXPECT_EQ(child.report, "");
}

// A selection that runs `beforeFill` when it is read the second time: by the fill that the
// tick's first reading started.
class SelectionChangingUnderTheFill final : public SelectionQuery {
public:
    std::vector<std::string> selection() override {
        if (++queries_ == 2 && beforeFill) beforeFill();
        return items;
    }
    std::vector<std::string> items;
    std::function<void()> beforeFill;

private:
    int queries_ = 0;
};

enum class Picture { kNone, kSome };

struct ChangeBeforeFill {
    const char* name;
    Bytes before;
    std::function<void(const fs::path& photo)> change;
    Picture picture;
};
void PrintTo(const ChangeBeforeFill& c, std::ostream* os) {
    *os << c.name;
}

class FileChangedBetweenTickAndFill : public ::testing::TestWithParam<ChangeBeforeFill> {};

TEST_P(FileChangedBetweenTickAndFill, isShownAsItIsWhenTheFillOpensIt) {
    const support::TempDir dir;
    const fs::path photo = dir.path() / "photo.jpg";
    support::writeFile(photo, GetParam().before);
    SelectionChangingUnderTheFill selection;
    selection.items = {urlOf(photo)};
    selection.beforeFill = [&] { GetParam().change(photo); };
    const auto images = imageio::makeImageService();
    testing::RecordingPanel panel;
    std::vector<std::string> log;
    InlineReadQueue reads;
    Inspector inspector(
        {selection, *images, reads, {}, [&](std::string_view line) { log.emplace_back(line); }});
    inspector.setPanel(&panel);

    inspector.timer();

    EXPECT_EQ(log, std::vector<std::string>{"file change"});
    std::error_code gone;
    const auto bytes = fs::is_regular_file(photo, gone) ? static_cast<std::int64_t>(fs::file_size(photo)) : 0;
    hostile::FillOutcome shown{panel.summary, panel.previewHidden, panel.pictureSet, panel.picture,
                               inspector.oldUrl() ? std::optional(inspector.oldUrl()->path()) : std::nullopt};
    EXPECT_EQ(unsoundness(shown, photo, bytes), "");
    EXPECT_EQ(shown.picture != nullptr, GetParam().picture == Picture::kSome);
}

INSTANTIATE_TEST_SUITE_P(
    PathologicalFile, FileChangedBetweenTickAndFill,
    ::testing::Values(ChangeBeforeFill{"deleted", fixture("jpeg/bare.jpg"),
                                       [](const fs::path& p) { fs::remove(p); }, Picture::kNone},
                      ChangeBeforeFill{"replacedByFifo", fixture("jpeg/bare.jpg"),
                                       [](const fs::path& p) {
                                           fs::remove(p);
                                           ::mkfifo(p.c_str(), 0600);
                                       },
                                       Picture::kNone},
                      ChangeBeforeFill{"replacedByDirectory", fixture("jpeg/bare.jpg"),
                                       [](const fs::path& p) {
                                           fs::remove(p);
                                           fs::create_directory(p);
                                       },
                                       Picture::kNone},
                      ChangeBeforeFill{"truncatedToNothing", fixture("jpeg/bare.jpg"),
                                       [](const fs::path& p) { fs::resize_file(p, 0); }, Picture::kNone},
                      ChangeBeforeFill{
                          "grownFromNothing", Bytes{},
                          [](const fs::path& p) { support::writeFile(p, fixture("jpeg/o1.jpg")); },
                          Picture::kSome},
                      ChangeBeforeFill{"replacedByAnotherPhoto", fixture("jpeg/bare.jpg"),
                                       [](const fs::path& p) {
                                           const fs::path other = p.parent_path() / "other.jpg";
                                           support::writeFile(other, fixture("jpeg/o6.jpg"));
                                           fs::rename(other, p);
                                       },
                                       Picture::kSome}),
    [](const ::testing::TestParamInfo<ChangeBeforeFill>& param) { return std::string(param.param.name); });

void append(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The size is taken when the file is opened: bytes written later are not read by that source,
// the next source sees them.
TEST(PathologicalFile, growingBetweenReadsIsReadAsItWasWhenOpened) {
    const Bytes whole = fixture("jpeg/o1.jpg");
    const auto half = static_cast<std::ptrdiff_t>(whole.size() / 2);
    const support::TempDir dir;
    const fs::path photo = dir.path() / "photo.jpg";
    support::writeFile(photo, Bytes(whole.begin(), whole.begin() + half));
    const auto images = imageio::makeImageService();

    const auto source = images->createWithPath(photo.string());
    ASSERT_NE(source, nullptr);
    const auto properties = source->copyPropertiesAtIndex0();
    ASSERT_TRUE(properties);
    EXPECT_EQ(properties->pixelWidth, 400);
    append(photo, Bytes(whole.begin() + half, whole.end()));
    EXPECT_EQ(source->copyProperties()->fileSize, half);
    const auto preview = source->createThumbnailAtIndex0(kThumbnailOptions);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->width, 400);
    EXPECT_TRUE(support::near(support::sampleQuadrants(*preview).topLeft, support::kRed));

    const auto later = images->createWithPath(photo.string());
    ASSERT_NE(later, nullptr);
    EXPECT_EQ(later->copyProperties()->fileSize, static_cast<std::int64_t>(whole.size()));
    const auto wholePreview = later->createThumbnailAtIndex0(kThumbnailOptions);
    ASSERT_TRUE(wholePreview);
    EXPECT_TRUE(support::looksLike(*wholePreview));
}

struct Shrinking {
    const char* name;
    Bytes photo;
    const char* fileName;
};
void PrintTo(const Shrinking& c, std::ostream* os) {
    *os << c.name;
}

class FileShrinkingBetweenReads : public ::testing::TestWithParam<Shrinking> {};

// Cut after its metadata was read, before its preview is made: whatever comes out, it is sound.
TEST_P(FileShrinkingBetweenReads, givesAPreviewOfTheBytesLeftOrNone) {
    const Bytes& whole = GetParam().photo;
    const support::TempDir dir;
    const fs::path photo = dir.path() / GetParam().fileName;
    const auto images = imageio::makeImageService();
    for (const std::size_t keep : {whole.size() * 2 / 3, whole.size() / 3, std::size_t{16}, std::size_t{0}}) {
        SCOPED_TRACE(keep);
        support::writeFile(photo, whole);
        const auto source = images->createWithPath(photo.string());
        ASSERT_NE(source, nullptr);
        ASSERT_TRUE(source->copyPropertiesAtIndex0());
        fs::resize_file(photo, keep);
        const auto preview = source->createThumbnailAtIndex0(kThumbnailOptions);
        if (preview) {
            EXPECT_LE(std::max(preview->width, preview->height), 500);
            EXPECT_EQ(preview->rgb.size(), static_cast<std::size_t>(preview->width) * preview->height * 3);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    PathologicalFile, FileShrinkingBetweenReads,
    ::testing::Values(Shrinking{"jpeg", fixture("jpeg/o1.jpg"), "photo.jpg"},
                      Shrinking{"jpegWithThumbnail", fixture("jpeg/o6-thumbnail.jpg"), "photo.jpg"},
                      Shrinking{"cr2", fixture("cr2/plain.CR2"), "photo.CR2"}),
    [](const ::testing::TestParamInfo<Shrinking>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quillory
