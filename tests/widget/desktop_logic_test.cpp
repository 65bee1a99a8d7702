// The Linux desktop backend's logic that needs no display: coordinates, modifier flags, the
// choice of display and appearance, the clipboard's file lists, the hand-over protocol and the
// Finder's answer on macOS.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/event.h"
#include "platform/mac/finder_output.h"
#include "platform/qt/clipboard_formats.h"
#include "platform/qt/handover_protocol.h"
#include "platform/qt/launch_env.h"
#include "platform/qt/modifier_flags.h"
#include "platform/qt/recent_selection.h"
#include "platform/qt/screen_space.h"

namespace quillory::qt {
namespace {

using platform::Point;
using platform::Rect;
using Urls = std::vector<std::string>;

TEST(ScreenSpace, flipsBetweenQtAndProgramAroundTheFirstScreen) {
    struct Case {
        const char* name;
        Rect first;  // the first screen in Qt's coordinates
        Rect qt;
        Rect program;
    };
    const Case cases[] = {
        {"icon at the top right", {0, 0, 1440, 900}, {988, 0, 24, 22}, {988, 878, 24, 22}},
        {"panel under it", {0, 0, 1440, 900}, {860, 22, 280, 400}, {860, 478, 280, 400}},
        {"bottom-left corner", {0, 0, 1440, 900}, {0, 880, 20, 20}, {0, 0, 20, 20}},
        {"first screen right of another", {1920, 0, 1280, 800}, {1920, 0, 100, 50}, {0, 750, 100, 50}},
        {"screen below the first", {0, 0, 1280, 800}, {0, 800, 1280, 1024}, {0, -1024, 1280, 1024}},
        {"first screen lower than the desktop top",
         {0, 200, 1280, 800},
         {10, 200, 30, 40},
         {10, 760, 30, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScreenSpace space(c.first);
        EXPECT_EQ(space.toProgram(c.qt), c.program);
        EXPECT_EQ(space.toQt(c.program), c.qt);
    }
    const ScreenSpace space({0, 0, 1440, 900});
    EXPECT_EQ(space.toProgram(Point{1000, 5}), (Point{1000, 895}));
}

TEST(BarThickness, isTheReservedStripWhenItLooksLikeAPanel) {
    struct Case {
        const char* name;
        Rect available;
        double thickness;
    };
    const Rect screen{0, 0, 1920, 1080};
    const Case cases[] = {
        {"nothing reserved", screen, kDefaultBarThickness},
        {"GNOME top bar", {0, 32, 1920, 1048}, 32},
        {"KDE bottom panel", {0, 0, 1920, 1036}, 44},
        {"top and bottom: the top wins", {0, 24, 1920, 1016}, 24},
        {"a sliver is no panel", {0, 4, 1920, 1076}, kDefaultBarThickness},
        {"a dock at the left only", {64, 0, 1856, 1080}, kDefaultBarThickness},
        {"half the screen is no panel", {0, 540, 1920, 540}, kDefaultBarThickness},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(barThickness(screen, c.available), c.thickness);
    }
}

TEST(ModifierFlags, mapX11StateToTheOriginalFlagValues) {
    struct Case {
        std::uint32_t x11;
        std::uint64_t flags;
    };
    const Case cases[] = {
        {0, 0},
        {kX11ShiftMask, platform::kShiftKeyMask},
        {kX11ShiftMask | kX11Mod1Mask, 0xa0000},
        {kX11ShiftMask | kX11LockMask, 0x30000},
        {kX11ShiftMask | kX11ControlMask, 0x60000},
        {kX11Mod4Mask, platform::kCommandKeyMask},
        {0x100 | 0x10, 0},  // a mouse button and Num Lock (Mod2) are no modifier flags
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x11);
        EXPECT_EQ(modifierFlags(modifierKeysFromX11(c.x11)), c.flags);
    }
}

TEST(DisplayChoice, runsOnX11WheneverThereIsAnXDisplay) {
    struct Case {
        const char* name;
        LaunchEnvironment env;
        std::optional<std::string> forced;
        bool problem;
    };
    const std::nullopt_t none = std::nullopt;
    const Case cases[] = {
        {"X11 session", {none, ":0", none}, "xcb", false},
        {"Wayland with XWayland", {none, ":0", "wayland-0"}, "xcb", false},
        {"Wayland without XWayland", {none, none, "wayland-0"}, none, true},
        {"no display at all", {none, none, none}, none, true},
        {"empty DISPLAY counts as none", {none, "", none}, none, true},
        {"an explicit platform is honoured", {"offscreen", none, none}, none, false},
        {"an explicit xcb on Wayland too", {"xcb", ":1", "wayland-0"}, none, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DisplayChoice choice = chooseDisplay(c.env);
        EXPECT_EQ(choice.forcePlatform, c.forced);
        EXPECT_EQ(choice.problem.has_value(), c.problem);
    }
}

TEST(TrayWait, acceptsSecondsWithinBoundsElseTheDefault) {
    struct Case {
        std::optional<std::string> value;
        double seconds;
    };
    const Case cases[] = {{std::nullopt, kDefaultTrayWaitSeconds},
                          {"", kDefaultTrayWaitSeconds},
                          {"2", 2.0},
                          {"0.5", 0.5},
                          {"0", 0.0},
                          {"-1", kDefaultTrayWaitSeconds},
                          {"9999", kDefaultTrayWaitSeconds},
                          {"5s", kDefaultTrayWaitSeconds},
                          {"nan", kDefaultTrayWaitSeconds}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.value_or("(unset)"));
        EXPECT_EQ(trayWaitSeconds(c.value), c.seconds);
    }
}

TEST(InterfaceStyle, isDarkForPreferDarkOrTheOverride) {
    struct Case {
        std::optional<std::string> override;
        std::optional<std::uint32_t> scheme;
        std::optional<std::string> style;
    };
    const std::optional<std::string> dark = "Dark";
    const Case cases[] = {
        {std::nullopt, 1u, dark},
        {std::nullopt, 0u, std::nullopt},
        {std::nullopt, 2u, std::nullopt},
        {std::nullopt, 7u, std::nullopt},
        {std::nullopt, std::nullopt, std::nullopt},
        {"dark", std::nullopt, dark},
        {"DARK", 2u, dark},
        {"light", 1u, std::nullopt},
        {"sepia", 1u, dark},  // not an override: the portal decides
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.override.value_or("(unset)") + " / " +
                     (c.scheme ? std::to_string(*c.scheme) : "none"));
        EXPECT_EQ(interfaceStyle(c.override, c.scheme), c.style);
    }
}

TEST(ClipboardFiles, readEveryFileManagersCopyFormat) {
    struct Case {
        const char* name;
        ClipboardFormats formats;
        std::optional<Urls> files;
    };
    const std::string a = "file:///home/me/a.jpg";
    const std::string b = "file:///home/me/My%20b.CR2";
    std::string longText;
    while (longText.size() <= kMaxPlainTextBytes) longText += a + "\n";
    const Case cases[] = {
        {"GNOME copy (Nemo, Caja, Thunar, PCManFM)",
         {{"x-special/gnome-copied-files", "copy\n" + a + "\n" + b}},
         Urls{a, b}},
        {"GNOME cut with GTK's trailing NUL",
         {{"x-special/gnome-copied-files", "cut\n" + a + std::string(1, '\0')}},
         Urls{a}},
        {"uri-list with CRLF and a comment",
         {{"text/uri-list", "# from Dolphin\r\n" + a + "\r\n" + b + "\r\n"}},
         Urls{a, b}},
        {"Dolphin cut: uri-list beside the cut marker",
         {{"text/uri-list", a + "\r\n"}, {"application/x-kde-cutselection", "1"}},
         Urls{a}},
        {"Nautilus 3.30+ plain text",
         {{"text/plain", "x-special/nautilus-clipboard\ncopy\n" + a + "\n"}},
         Urls{a}},
        {"plain text of file URLs only", {{"text/plain", a + "\n" + b}}, Urls{a, b}},
        {"plain text of file URLs over a mebibyte", {{"text/plain", longText}}, std::nullopt},
        {"a uri-list as long", {{"text/uri-list", longText}}, Urls(longText.size() / (a.size() + 1), a)},
        {"GNOME list wins over the uri-list",
         {{"x-special/gnome-copied-files", "copy\n" + b}, {"text/uri-list", a}},
         Urls{b}},
        {"an empty GNOME list falls back to the uri-list",
         {{"x-special/gnome-copied-files", "copy\n"}, {"text/uri-list", a}},
         Urls{a}},
        {"text from an editor", {{"text/plain", "hello " + a}}, std::nullopt},
        {"a path typed as text", {{"text/plain", "/home/me/a.jpg"}}, std::nullopt},
        {"only comments", {{"text/uri-list", "# nothing\r\n"}}, std::nullopt},
        {"an emptied clipboard", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(copiedFiles(c.formats), c.files);
    }
}

TEST(RecentSelection, isTheLatestNonEmptyListOfAnySourceSharedAndCounted) {
    RecentSelection selection;
    EXPECT_TRUE(selection.selection().empty());
    const std::uint64_t start = selection.changeCount();
    EXPECT_NE(start, 0u);  // 0 would mean "cannot tell"
    EXPECT_TRUE(selection.offer({"file:///clipboard.jpg"}));
    EXPECT_TRUE(selection.offer({"file:///handed-over.jpg", "file:///second.CR2"}));
    EXPECT_FALSE(selection.offer({}));  // the clipboard's owner quit
    EXPECT_EQ(selection.changeCount(), start + 2);
    EXPECT_EQ(selection.selection(), (Urls{"file:///handed-over.jpg", "file:///second.CR2"}));
    // The tick's snapshot is the list itself, not a copy.
    EXPECT_EQ(selection.currentSelection(), selection.currentSelection());
}

TEST(Handover, roundTripsWhateverChunksTheBytesArriveIn) {
    const Urls urls{"file:///a.jpg", "file:///photos/My%20b.CR2", "file://localhost/c.jpg"};
    const std::string message = encodeHandover(urls);
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, message.size()}) {
        SCOPED_TRACE(chunk);
        HandoverDecoder decoder;
        HandoverDecoder::Result result = HandoverDecoder::Result::incomplete;
        for (std::size_t at = 0; at < message.size(); at += chunk)
            result = decoder.feed(message.substr(at, chunk));
        EXPECT_EQ(result, HandoverDecoder::Result::accepted) << decoder.problem();
        EXPECT_EQ(decoder.urls(), urls);
    }
    HandoverDecoder empty;
    EXPECT_EQ(empty.feed(encodeHandover({})), HandoverDecoder::Result::accepted);  // "just open the panel"
    EXPECT_TRUE(empty.urls().empty());
}

TEST(Handover, rejectsEverythingButLocalFileUrlsWithinTheLimits) {
    using Result = HandoverDecoder::Result;
    struct Case {
        const char* name;
        std::string bytes;
        Result result;
    };
    const std::string header = std::string(kHandoverHeader) + "\n";
    const std::string longUrl = "file:///" + std::string(kMaxHandoverUrlBytes, 'a') + ".jpg";
    std::string tooMany = header;
    for (std::size_t i = 0; i <= kMaxHandoverUrls; ++i) tooMany += "file:///p" + std::to_string(i) + ".jpg\n";
    const Case cases[] = {
        {"an HTTP request", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", Result::rejected},
        {"another protocol version", "quillory-open/2\n\n", Result::rejected},
        {"a long first line without a header", std::string(64, 'x'), Result::rejected},
        {"a web URL", header + "https://example.org/a.jpg\n\n", Result::rejected},
        {"a file URL of another host", header + "file://server/a.jpg\n\n", Result::rejected},
        {"a bare path", header + "/home/me/a.jpg\n\n", Result::rejected},
        {"a relative URL", header + "a.jpg\n\n", Result::rejected},
        {"a NUL inside a URL", header + std::string("file:///a\0.jpg\n\n", 16), Result::rejected},
        {"raw spaces", header + "file:///My Photos/a.jpg\n\n", Result::rejected},
        {"bytes after the end", header + "file:///a.jpg\n\nfile:///b.jpg\n\n", Result::rejected},
        {"a URL over the line limit", header + longUrl + "\n\n", Result::rejected},
        {"more files than allowed", tooMany + "\n", Result::rejected},
        {"more bytes than allowed", header + std::string(kMaxHandoverBytes, 'a'), Result::rejected},
        {"not finished yet", header + "file:///a.jpg\n", Result::incomplete},
        {"a header cut short", "quillory-op", Result::incomplete},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HandoverDecoder decoder;
        EXPECT_EQ(decoder.feed(c.bytes), c.result);
        if (c.result == Result::rejected) {
            EXPECT_TRUE(decoder.urls().empty());
            EXPECT_FALSE(decoder.problem().empty());
            EXPECT_EQ(decoder.feed(header + "file:///a.jpg\n\n"), Result::rejected);  // decided for good
        }
    }
}

TEST(Handover, turnsArgumentsIntoFileUrls) {
    struct Case {
        const char* argument;
        std::optional<std::string> url;
    };
    const Case cases[] = {
        {"/home/me/a.jpg", "file:///home/me/a.jpg"},
        {"a.jpg", "file:///work/a.jpg"},
        {"../photos/My b.CR2", "file:///photos/My%20b.CR2"},
        {"./x/../y.jpg", "file:///work/y.jpg"},
        {"a:b.jpg", "file:///work/a:b.jpg"},
        {"file:///home/me/a.jpg", "file:///home/me/a.jpg"},
        {"file://localhost/a.jpg", "file://localhost/a.jpg"},
        {"https://example.org/a.jpg", std::nullopt},
        {"smb://server/share/a.jpg", std::nullopt},
        {"file:///My Photos/a.jpg", std::nullopt},  // a URL must be escaped
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        EXPECT_EQ(fileUrlForArgument(c.argument, "/work"), c.url);
    }
}

}  // namespace
}  // namespace quillory::qt

namespace quillory::mac {
namespace {

TEST(FinderOutput, givesOneUrlPerLineInTheFindersOrder) {
    struct Case {
        const char* name;
        std::string output;
        std::vector<std::string> urls;
    };
    const Case cases[] = {
        {"empty selection", "\n", {}},
        {"nothing printed", "", {}},
        {"two items",
         "file:///Users/me/a.jpg\nfile:///Users/me/My%20b.CR2\n\n",
         {"file:///Users/me/a.jpg", "file:///Users/me/My%20b.CR2"}},
        {"CR line ends", "file:///a.jpg\r\nfile:///b.jpg\r\n", {"file:///a.jpg", "file:///b.jpg"}},
        {"no final newline", "file:///a.jpg", {"file:///a.jpg"}},
        {"invalid strings stay for the tick to skip",
         "not a url\nfile:///a.jpg\n",
         {"not a url", "file:///a.jpg"}},
        {"a folder keeps its place",
         "file:///Users/me/Pictures/\nfile:///a.jpg\n",
         {"file:///Users/me/Pictures/", "file:///a.jpg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parseFinderSelectionOutput(c.output), c.urls);
    }
}

}  // namespace
}  // namespace quillory::mac
