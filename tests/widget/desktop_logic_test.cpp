// The Linux desktop backend's logic that needs no display: coordinates, modifier flags, the
// choice of display and appearance, the clipboard's file lists, the hand-over protocol and the
// Finder's answer on macOS.
#include <gtest/gtest.h>

#include <algorithm>
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
        const char* problem;  // a word the problem must name; none for no problem
    };
    const std::nullopt_t none = std::nullopt;
    const Case cases[] = {
        {"X11 session", {none, ":0", none}, "xcb", nullptr},
        {"Wayland with XWayland", {none, ":0", "wayland-0"}, "xcb", nullptr},
        {"KDE or sway asking Qt for Wayland", {"wayland", ":0", "wayland-0"}, "xcb", nullptr},
        {"any other platform asked for", {"offscreen", ":1", none}, "xcb", nullptr},
        {"Wayland without XWayland", {none, none, "wayland-0"}, none, "XWayland"},
        {"Wayland asked for, no display at all", {"wayland-egl", none, none}, none, "XWayland"},
        {"no display at all", {none, none, none}, none, "DISPLAY"},
        {"empty DISPLAY counts as none", {"xcb", "", none}, none, "DISPLAY"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DisplayChoice choice = chooseDisplay(c.env);
        EXPECT_EQ(choice.forcePlatform, c.forced);
        if (c.problem == nullptr) {
            EXPECT_EQ(choice.problem, std::nullopt);
        } else {
            EXPECT_NE(choice.problem.value_or("").find(c.problem), std::string::npos);
        }
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

// A message with `payload` as its body, however wrong the body.
std::string framed(const std::string& payload) {
    return std::string(kHandoverHeader) + " " + std::to_string(payload.size()) + "\n" + payload;
}

TEST(Handover, carriesAnyNumberOfFilesWhateverChunksTheBytesArriveIn) {
    Urls many;
    for (int i = 1; i <= 1001; ++i) many.push_back("file:///p" + std::to_string(i) + ".jpg");
    // Over the byte limit: the tail that fits travels, so the last file still decides.
    const std::string big = "file:///" + std::string(kMaxHandoverUrlBytes - 20, 'b');
    Urls huge;
    for (int i = 0; i < 300; ++i) huge.push_back(big + std::to_string(i) + ".jpg");
    const std::size_t fit = kMaxHandoverBytes / (huge.back().size() + 1);
    struct Case {
        const char* name;
        Urls urls;
        Urls received;
    };
    const Case cases[] = {
        {"three files",
         {"file:///a.jpg", "file:///photos/My%20b.CR2", "file://localhost/lat%E9/c.jpg"},
         {"file:///a.jpg", "file:///photos/My%20b.CR2", "file://localhost/lat%E9/c.jpg"}},
        {"none: just open the panel", {}, {}},
        {"1,001 files", many, many},
        {"more bytes than a message holds", huge,
         Urls(huge.end() - static_cast<std::ptrdiff_t>(fit), huge.end())},
        {"what the receiver would refuse stays behind",
         {"file:///a.jpg", "https://example.org/b.jpg", "file:///" + std::string(kMaxHandoverUrlBytes, 'c'),
          "file:///d.jpg"},
         {"file:///a.jpg", "file:///d.jpg"}},
    };
    for (const Case& c : cases) {
        const std::string message = encodeHandover(c.urls);
        for (std::size_t chunk : {std::size_t{1}, std::size_t{4093}, message.size()}) {
            if (chunk != 4093 && message.size() > 100'000) continue;  // seconds each, unoptimised
            SCOPED_TRACE(std::string(c.name) + ", chunks of " + std::to_string(chunk));
            HandoverDecoder decoder;
            HandoverDecoder::Result result = HandoverDecoder::Result::incomplete;
            for (std::size_t at = 0; at < message.size(); at += chunk)
                result = decoder.feed(std::string_view(message).substr(at, chunk));
            EXPECT_EQ(result, HandoverDecoder::Result::accepted) << decoder.problem();
            EXPECT_EQ(decoder.urls(), c.received);
        }
    }
}

TEST(Handover, rejectsEverythingButLocalFileUrlsWithinTheLimits) {
    using Result = HandoverDecoder::Result;
    struct Case {
        const char* name;
        std::string bytes;
        Result result;
    };
    const std::string header = std::string(kHandoverHeader) + " ";
    const std::string longUrl = "file:///" + std::string(kMaxHandoverUrlBytes, 'a') + ".jpg";
    const Case cases[] = {
        {"an HTTP request, at its first bytes", "GET ", Result::rejected},
        {"another protocol version", "quillory-open/1\n\n", Result::rejected},
        {"a long first line without a header", std::string(64, 'x'), Result::rejected},
        {"a length that is no number", header + "-1\n", Result::rejected},
        {"a length over the limit, before its bytes come",
         header + std::to_string(kMaxHandoverBytes + 1) + "\n", Result::rejected},
        {"a web URL", framed("https://example.org/a.jpg\n"), Result::rejected},
        {"a file URL of another host", framed("file://server/a.jpg\n"), Result::rejected},
        {"a bare path", framed("/home/me/a.jpg\n"), Result::rejected},
        {"a relative URL", framed("a.jpg\n"), Result::rejected},
        {"an empty line", framed("file:///a.jpg\n\n"), Result::rejected},
        {"a NUL inside a URL", framed(std::string("file:///a\0.jpg\n", 15)), Result::rejected},
        {"raw spaces", framed("file:///My Photos/a.jpg\n"), Result::rejected},
        {"terminal escapes and bytes that are not UTF-8",
         framed("file:///a\x1b]0;PWNED\x07\xff\xc2\x85" + std::string(400, 'z') + "\n"), Result::rejected},
        {"a line without its end", framed("file:///a.jpg"), Result::rejected},
        {"bytes after the end", framed("file:///a.jpg\n") + "file:///b.jpg\n", Result::rejected},
        {"a URL over the line limit", framed(longUrl + "\n"), Result::rejected},
        {"not finished yet", framed("file:///a.jpg\nfile:///b.jpg\n").substr(0, 30), Result::incomplete},
        {"a header cut short", "quillory-op", Result::incomplete},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HandoverDecoder decoder;
        EXPECT_EQ(decoder.feed(c.bytes), c.result);
        if (c.result == Result::rejected) {
            EXPECT_TRUE(decoder.urls().empty());
            // The reason goes to the log: no raw control bytes, and not the peer's whole message.
            const std::string& why = decoder.problem();
            EXPECT_FALSE(why.empty());
            EXPECT_LT(why.size(), 200u) << why;
            EXPECT_TRUE(std::none_of(why.begin(), why.end(), [](char b) { return b < 0x20 || b == 0x7f; }))
                << why;
            EXPECT_EQ(decoder.feed(framed("file:///a.jpg\n")), Result::rejected);  // decided for good
        }
    }
}

TEST(Handover, showsPeerBytesInLogsVisiblyAndBriefly) {
    struct Case {
        std::string bytes;
        std::string shown;
    };
    const Case cases[] = {
        {"file:///a b.jpg", "file:///a b.jpg"},
        {"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"},  // valid UTF-8 stays
        {"\x1b]0;x\x07\r\n", "\\x1b]0;x\\x07\\x0d\\x0a"},          // C0
        {"\x7f\xc2\x85", "\\x7f\\xc2\\x85"},                       // DEL, C1 (NEL)
        {"lat\xe9", "lat\\xe9"},                                   // Latin-1
        {"\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80",
         "\\xc0\\xaf\\xed\\xa0\\x80\\xf4\\x90\\x80\\x80"},  // overlong,
                                                            // surrogate, past U+10FFFF
        {"a\\x1b", "a\\x5cx1b"},                            // a backslash cannot forge an escape
        {std::string(130, 'a'), std::string(120, 'a') + "..."},
        {std::string(119, 'a') + "\xc3\xa9", std::string(119, 'a') + "\\xc3..."},  // cut inside a character
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(visibleBytes(c.bytes), c.shown);
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
        {"file:///My Photos/a.jpg", std::nullopt},   // a URL must be escaped
        {"/lat\xe9/a.jpg", "file:///lat%E9/a.jpg"},  // a name that is not UTF-8 keeps its bytes
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
