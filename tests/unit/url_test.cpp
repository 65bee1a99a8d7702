#include <gtest/gtest.h>

#include "inspection/photo_kind.h"
#include "inspection/url.h"

namespace quillory {
namespace {

struct UrlCase {
    const char* text;
    bool valid;
    const char* path;
    const char* extension;
    bool local;
};

class UrlParsing : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlParsing, givesPathExtensionAndLocality) {
    const UrlCase& c = GetParam();
    const std::optional<Url> url = Url::fromString(c.text);
    ASSERT_EQ(url.has_value(), c.valid) << c.text;
    if (!url) return;
    EXPECT_EQ(url->path(), c.path);
    EXPECT_EQ(url->pathExtension(), c.extension);
    EXPECT_EQ(url->isLocalFile(), c.local);
}

INSTANTIATE_TEST_SUITE_P(
    FinderUrls, UrlParsing,
    ::testing::Values(UrlCase{"file:///Users/me/My%20Photo.JPG", true, "/Users/me/My Photo.JPG", "JPG", true},
                      UrlCase{"file://localhost/a/b.jpg", true, "/a/b.jpg", "jpg", true},
                      UrlCase{"FILE://LocalHost/a/b.jpg", true, "/a/b.jpg", "jpg", true},
                      UrlCase{"file:///photos/", true, "/photos", "", true},
                      UrlCase{"file:///", true, "/", "", true},
                      UrlCase{"file:///a/b.tar.gz", true, "/a/b.tar.gz", "gz", true},
                      UrlCase{"file:///a.b/c", true, "/a.b/c", "", true},
                      UrlCase{"file:///a/.jpg", true, "/a/.jpg", "jpg", true},
                      UrlCase{"file:///a/b.jpg?x=1#top", true, "/a/b.jpg", "jpg", true},
                      UrlCase{"file:///a/%C3%BC.CR2", true, "/a/\xC3\xBC.CR2", "CR2", true},
                      UrlCase{"file:///a/%2F.jpg", true, "/a//.jpg", "jpg", true},
                      UrlCase{"file:///a/%FF%FE.jpg", true, "/a/\xFF\xFE.jpg", "jpg", true}));

INSTANTIATE_TEST_SUITE_P(NotLocalFiles, UrlParsing,
                         ::testing::Values(UrlCase{"http://example.com/a.jpg", true, "/a.jpg", "jpg", false},
                                           UrlCase{"smb://server/share/a.jpg", true, "/share/a.jpg", "jpg",
                                                   false},
                                           UrlCase{"file://server/a/b.jpg", true, "/a/b.jpg", "jpg", false},
                                           UrlCase{"/a/b.jpg", true, "/a/b.jpg", "jpg", false},
                                           UrlCase{"file:relative.jpg", true, "relative.jpg", "jpg", false},
                                           // Scheme characters: a letter, then letters, digits, + - .
                                           UrlCase{"svn+ssh://h/a.jpg", true, "/a.jpg", "jpg", false},
                                           UrlCase{"x-y.z://h/a.jpg", true, "/a.jpg", "jpg", false},
                                           UrlCase{"1x:/a.jpg", true, "1x:/a.jpg", "jpg", false},
                                           UrlCase{"a_b:/a.jpg", true, "a_b:/a.jpg", "jpg", false},
                                           UrlCase{"", true, "", "", false}));

INSTANTIATE_TEST_SUITE_P(InvalidStrings, UrlParsing,
                         ::testing::Values(UrlCase{"file:///a/b c.jpg", false, "", "", false},
                                           UrlCase{"file:///a/%zz.jpg", false, "", "", false},
                                           UrlCase{"file:///a/b.jpg%4", false, "", "", false},
                                           UrlCase{"file:///a/b.jpg%", false, "", "", false},
                                           UrlCase{"file:///a/\xC3\xBC.jpg", false, "", "", false},
                                           UrlCase{"file:///a/b\n.jpg", false, "", "", false},
                                           UrlCase{"file:///a/<b>.jpg", false, "", "", false}));

TEST(UrlParsingNul, escapedNulNeverNamesALocalFile) {
    const std::optional<Url> url = Url::fromString("file:///a/%00.jpg");
    ASSERT_TRUE(url);
    EXPECT_FALSE(url->isLocalFile());
    EXPECT_FALSE(isQualifying(*url));
}

TEST(UrlFromLocalPath, roundTripsAwkwardNames) {
    for (const std::string path :
         {"/tmp/My Photo #1.jpg", "/tmp/50%?.JPG", "/tmp/\xC3\xBC\nx.cr2", "/a b/c"}) {
        const Url url = Url::fromLocalPath(path);
        EXPECT_TRUE(url.isLocalFile()) << url.string();
        EXPECT_EQ(url.path(), path);
        EXPECT_EQ(Url::fromString(url.string())->path(), path);
    }
}

TEST(PathComponents, splitNameAndFolder) {
    EXPECT_EQ(lastPathComponent("/Photos/2015/IMG_0042.JPG"), "IMG_0042.JPG");
    EXPECT_EQ(folderOf("/Photos/2015/IMG_0042.JPG"), "/Photos/2015");
    EXPECT_EQ(lastPathComponent("/IMG.JPG"), "IMG.JPG");
    EXPECT_EQ(folderOf("/IMG.JPG"), "/");
    EXPECT_EQ(lastPathComponent("/"), "/");
    EXPECT_EQ(folderOf("/"), "/");
    EXPECT_EQ(lastPathComponent("/p/"), "");
    EXPECT_EQ(lastPathComponent("IMG.JPG"), "IMG.JPG");
    EXPECT_EQ(folderOf("IMG.JPG"), "");
}

struct QualifyingCase {
    const char* url;
    bool qualifies;
};

class QualifyingTest : public ::testing::TestWithParam<QualifyingCase> {};

TEST_P(QualifyingTest, acceptsExactlyFourExtensionsOfLocalFiles) {
    const std::optional<Url> url = Url::fromString(GetParam().url);
    ASSERT_TRUE(url);
    EXPECT_EQ(isQualifying(*url), GetParam().qualifies) << GetParam().url;
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, QualifyingTest,
    ::testing::Values(
        QualifyingCase{"file:///p/photo.jpg", true}, QualifyingCase{"file:///p/photo.JPG", true},
        QualifyingCase{"file:///p/photo.cr2", true}, QualifyingCase{"file:///p/photo.CR2", true},
        QualifyingCase{"file:///p/photo.jpeg", false}, QualifyingCase{"file:///p/photo.JPEG", false},
        QualifyingCase{"file:///p/photo.Jpg", false}, QualifyingCase{"file:///p/photo.Cr2", false},
        QualifyingCase{"file:///p/photo", false}, QualifyingCase{"file:///p/photos.jpg/", true},
        QualifyingCase{"file:///p/photo.jpg.txt", false}, QualifyingCase{"https://host/photo.jpg", false},
        QualifyingCase{"file://nas/p/photo.jpg", false}));

}  // namespace
}  // namespace quillory
