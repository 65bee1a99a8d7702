#include <gtest/gtest.h>

#include "inspection/url.h"
#include "platform/selection/shown_selection.h"
#include "tests/support/support.h"

namespace quillory::selection {
namespace {

using Folders = std::vector<std::string>;
using Names = std::vector<std::string>;
const std::string kShownInvalid = "caf\xEF\xBF\xBD.jpg";  // "café.jpg" in Latin-1, as GTK and Qt show it

TEST(ShownSelection, readsTheFolderWhereverTheFileManagerShowsIt) {
    const std::tuple<std::string, std::optional<std::string>> locations[] = {
        {"/home/me/Pictures", "/home/me/Pictures"},
        {"/home/me/Pictures/", "/home/me/Pictures"},  // Thunar's trailing slash
        {"/", "/"},
        {"file:///home/me/My%20Pictures/", "/home/me/My Pictures"},
        {"file://localhost/tmp", "/tmp"},
        {"~/Pictures", "/home/me/Pictures"},
        {"~", "/home/me"},
        // Places that are no local folder, a search, a network place, and typing in progress.
        {"trash:///", std::nullopt},
        {"recent:///", std::nullopt},
        {"Search for \"Canon\"", std::nullopt},
        {"smb://nas/photos", std::nullopt},
        {"file://nas/photos", std::nullopt},
        {"Pict", std::nullopt},
        {"", std::nullopt},
        {"/tmp\n/etc", std::nullopt},
    };
    for (const auto& [text, folder] : locations)
        EXPECT_EQ(folderFromLocation(text, "/home/me"), folder) << text;

    const std::tuple<std::string, std::optional<std::string>> titles[] = {
        {"Pictures - /home/me/Pictures", "/home/me/Pictures"},  // Nemo's full-path titles
        {"/home/me/Pictures", "/home/me/Pictures"},             // Dolphin's
        {"Pictures - Thunar", std::nullopt},
        {"Pictures", std::nullopt},
    };
    for (const auto& [title, folder] : titles) EXPECT_EQ(folderFromTitle(title), folder) << title;

    // Path bars list their buttons from the folder up (GTK) or from the root down (PCManFM); the
    // buttons past the checked one are where the user came from.
    struct Bar {
        std::vector<PathButton> buttons;
        std::optional<std::string> folder;
    };
    const Bar bars[] = {
        {{{"Pictures", true}, {"me", false}, {"home", false}, {"", false}}, "/home/me/Pictures"},
        {{{"Pictures", false}, {"me", true}, {"home", false}, {"/", false}}, "/home/me"},
        {{{"/", false}, {"home", false}, {"me", false}, {"Pictures", true}}, "/home/me/Pictures"},
        {{{"", true}}, "/"},
        {{{"", true}, {"", false}}, std::nullopt},            // a view switcher's unnamed toggles
        {{{"Pictures", true}, {"me", false}}, std::nullopt},  // no root: it starts at a place
        {{{"Pictures", false}, {"me", false}, {"", false}}, std::nullopt},
        {{{"a/b", true}, {"", false}}, std::nullopt},
        {{{"..", true}, {"", false}}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& [buttons, folder] : bars) EXPECT_EQ(folderFromPathBar(buttons), folder);

    EXPECT_EQ(foldersBelow({"/home/me", "/", "relative"}, {"Pictures", "2026"}),
              (Folders{"/home/me/Pictures/2026", "/Pictures/2026"}));
    EXPECT_EQ(foldersBelow({"/home/me", "/home/me"}, {}), (Folders{"/home/me"}));

    const std::tuple<std::string, std::optional<std::string>> statusBars[] = {
        {"\"IMG_0042.JPG\" | 3.8 MiB | Image", "IMG_0042.JPG"},
        {"\"say \"cheese\".jpg\" selected (2.4 MB), Free space: 82.9 GB", "say \"cheese\".jpg"},
        {"Selection: 2 files: 3.8 MiB", std::nullopt},
        {"\"\" | 0 bytes", std::nullopt},
        {"\"unterminated", std::nullopt},
    };
    for (const auto& [text, name] : statusBars) EXPECT_EQ(quotedName(text), name) << text;
}

// A folder as users fill theirs: names with blanks, a name that is not UTF-8, two names that show
// alike, a desktop entry shown by its display name, and a subfolder that is not UTF-8 either.
class ShownSelectionFolder : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"IMG 1.jpg", "caf\xE9.jpg", "m\xE9\xE9.jpg", "m\xE9\xE8.jpg",
                                 "holiday.desktop", "notes.txt", "sub\xFF/deep.jpg"}) {
            std::filesystem::create_directories((dir.path() / name).parent_path());
            dir.write(name, {1});
        }
    }
    std::string at(const std::string& name) const { return (dir.path() / name).string(); }
    std::string url(const std::string& name) const { return Url::fromLocalPath(at(name)).string(); }

    support::TempDir dir;
};

TEST_F(ShownSelectionFolder, findsEachItemAsTheFileItIs) {
    const std::string folder = dir.path().string();
    const std::tuple<std::string, std::optional<std::string>> items[] = {
        {"IMG 1.jpg", "IMG 1.jpg"},
        {kShownInvalid, "caf\xE9.jpg"},                          // Qt, PCManFM
        {kShownInvalid + " (invalid encoding)", "caf\xE9.jpg"},  // GTK
        {kShownInvalid + " (ung\xC3\xBCltige Kodierung)", "caf\xE9.jpg"},
        {"m\xEF\xBF\xBD\xEF\xBF\xBD.jpg", std::nullopt},  // two files show so: neither is taken
        {"Holiday Photo", std::nullopt},                  // a display name of holiday.desktop
        {"gone.jpg", std::nullopt},
        {"", std::nullopt},
        {"..", std::nullopt},
        {"sub\xEF\xBF\xBD/deep.jpg", std::nullopt},
    };
    for (const auto& [shown, file] : items) EXPECT_EQ(fileShownAs(folder, shown), file) << shown;

    EXPECT_EQ(folderOnDisk(folder + "/sub\xEF\xBF\xBD (invalid encoding)"), at("sub\xFF"));
    EXPECT_EQ(folderOnDisk(folder + "/"), folder);
    EXPECT_EQ(folderOnDisk(folder + "/notes.txt"), std::nullopt);
    EXPECT_EQ(folderOnDisk(folder + "/missing"), std::nullopt);
}

TEST_F(ShownSelectionFolder, takesTheFolderWhereTheItemsAreAndKeepsTheirOrder) {
    const std::string folder = dir.path().string();
    const std::tuple<Folders, Names, Names> cases[] = {
        {{folder},
         {"notes.txt", kShownInvalid, "IMG 1.jpg"},
         {url("notes.txt"), url("caf\xE9.jpg"), url("IMG 1.jpg")}},
        {{folder}, {"IMG 1.jpg", "Holiday Photo", "gone.jpg"}, {url("IMG 1.jpg")}},
        // A breadcrumb under an unknown place: the base where the items are wins.
        {{folder + "/sub\xEF\xBF\xBD", folder}, {"IMG 1.jpg"}, {url("IMG 1.jpg")}},
        {{"/nonexistent", folder + "/sub\xEF\xBF\xBD"}, {"deep.jpg"}, {url("sub\xFF/deep.jpg")}},
        {{folder}, {}, {}},
        {{"/nonexistent"}, {"IMG 1.jpg"}, {}},
        {{}, {"IMG 1.jpg"}, {}},
    };
    for (const auto& [folders, shown, urls] : cases) EXPECT_EQ(selectedFileUrls(folders, shown), urls);
}

}  // namespace
}  // namespace quillory::selection
