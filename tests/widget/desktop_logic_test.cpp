// The Linux desktop backend's logic that needs no display: coordinates, the choice of appearance,
// the clipboard's file lists and the hand-over protocol.
#include <gtest/gtest.h>

#include "platform/qt/clipboard_formats.h"
#include "platform/qt/handover_protocol.h"
#include "platform/qt/screen_space.h"
#include "platform/qt/tray_appearance.h"

namespace quillory::qt {
namespace {

using platform::Rect;
using std::nullopt;
using Urls = std::vector<std::string>;

TEST(ScreenSpace, flipsBetweenQtAndProgramAroundTheFirstScreen) {
    const std::tuple<Rect, Rect, Rect> cases[] = {
        // the first screen, a rect in Qt's terms, in ours
        {{0, 0, 1440, 900}, {988, 0, 24, 22}, {988, 878, 24, 22}},
        {{1920, 0, 1280, 800}, {1920, 0, 100, 50}, {0, 750, 100, 50}},
        {{0, 200, 1280, 800}, {10, 200, 30, 40}, {10, 760, 30, 40}}};
    for (const auto& [first, qt, program] : cases) {
        EXPECT_EQ(ScreenSpace(first).toProgram(qt), program);
        EXPECT_EQ(ScreenSpace(first).toQt(program), qt);
    }
}

// QUILLORY_APPEARANCE first, then the tray's foreground colour, then the portal's colour scheme.
TEST(TrayAppearance, theOverrideThenTheTraysHintThenTheColourScheme) {
    const std::optional<std::string> dark = "Dark";
    const std::tuple<std::optional<std::string>, std::optional<std::uint32_t>, std::uint32_t,
                     std::optional<std::string>>
        cases[] = {{nullopt, 0xdfdfdfu, 2u, dark},    {nullopt, 0x808080u, 0u, dark},
                   {nullopt, 0x7f7f7fu, 1u, nullopt}, {nullopt, 0x0000ffu, 1u, nullopt},
                   {nullopt, nullopt, 1u, dark},      {nullopt, nullopt, 2u, nullopt},
                   {"light", 0xffffffu, 1u, nullopt}, {"DARK", 0x000000u, 2u, dark},
                   {"sepia", 0xffffffu, 2u, dark}};
    for (const auto& [override, hint, scheme, style] : cases)
        EXPECT_EQ(panelInterfaceStyle(override, hint, scheme), style) << hint.value_or(1) << " " << scheme;
}

TEST(ClipboardFiles, readEveryFileManagersCopyFormat) {
    const std::string a = "file:///home/me/a.jpg", b = "file:///home/me/My%20b.CR2";
    std::string big;
    while (big.size() <= kMaxPlainTextBytes) big += a + "\n";
    const std::pair<ClipboardFormats, std::optional<Urls>> cases[] = {
        {{{"x-special/gnome-copied-files", "cut\n" + a + "\n" + b + std::string(1, '\0')}}, Urls{a, b}},
        {{{"text/uri-list", "# from Dolphin\r\n" + a + "\r\n" + b + "\r\n"}}, Urls{a, b}},
        {{{"text/plain", "x-special/nautilus-clipboard\ncopy\n" + a + "\n"}}, Urls{a}},
        {{{"text/plain", a + "\n" + b}}, Urls{a, b}},
        {{{"text/plain", big}}, nullopt},  // over a mebibyte: not worth reading as text
        {{{"text/uri-list", big}}, Urls(big.size() / (a.size() + 1), a)},
        {{{"x-special/gnome-copied-files", "copy\n"}, {"text/uri-list", a}}, Urls{a}},
        {{{"text/plain", "hello " + a}}, nullopt},
        {{}, nullopt}};
    for (const auto& [formats, files] : cases) EXPECT_EQ(copiedFiles(formats), files) << formats.size();
}

std::string framed(const std::string& payload) {
    return std::string(kHandoverHeader) + " " + std::to_string(payload.size()) + "\n" + payload;
}

// Any number of files, however the bytes are cut up; over the limit the tail travels.
TEST(Handover, carriesAnyNumberOfFilesWhateverChunksTheBytesArriveIn) {
    Urls many(1001, "file:///photos/IMG_0042.JPG"), huge;
    for (int i = 100; i < 400; ++i)
        huge.push_back("file:///" + std::string(kMaxHandoverUrlBytes - 12, 'b') + std::to_string(i));
    const auto fit = static_cast<std::ptrdiff_t>(kMaxHandoverBytes / kMaxHandoverUrlBytes);
    const Urls some = {"file:///My%20b.CR2", "https://example.org/b.jpg", "file://localhost/lat%E9/c.jpg"};
    const std::pair<Urls, Urls> cases[] = {
        {some, {some[0], some[2]}}, {{}, {}}, {many, many}, {huge, Urls(huge.end() - fit, huge.end())}};
    for (const auto& [sent, received] : cases) {
        const std::string message = encodeHandover(sent);
        // A byte at a time, but for the 4 MiB message: that takes seconds unoptimised.
        for (std::size_t chunk : {sent.size() < 300 ? 1 : message.size(), std::size_t{4093}}) {
            HandoverDecoder decoder;
            for (std::size_t at = 0; at < message.size(); at += chunk)
                decoder.feed(std::string_view(message).substr(at, chunk));
            EXPECT_EQ(decoder.urls(), received) << sent.size() << " in chunks of " << chunk;
        }
    }
}

TEST(Handover, rejectsEverythingButLocalFileUrlsWithinTheLimits) {
    const std::string rejected[] = {
        "GET ",
        "quillory-open/1\n\n",
        std::string(kHandoverHeader) + " -1\n",
        std::string(kHandoverHeader) + " " + std::to_string(kMaxHandoverBytes + 1) + "\n",
        framed("https://example.org/a.jpg\n"),
        framed("file://server/a.jpg\n"),
        framed("/home/me/a.jpg\nfile:///b.jpg\n"),
        framed("file:///a.jpg\n\n"),
        framed("file:///My Photos/a.jpg\n"),
        framed("file:///a\x1b]0;PWNED\x07\xff" + std::string(400, 'z') + "\n"),
        framed("file:///a.jpg"),
        framed("file:///a.jpg\n") + "file:///b.jpg\n",
        framed("file:///" + std::string(kMaxHandoverUrlBytes, 'a') + "\n")};
    for (const std::string& bytes : rejected) {
        HandoverDecoder decoder;
        EXPECT_EQ(decoder.feed(bytes), HandoverDecoder::Result::rejected) << visibleBytes(bytes, 40);
        // The reason goes to the log: short, without the peer's raw control bytes.
        const std::string& why = decoder.problem();
        EXPECT_TRUE(!why.empty() && why.size() < 200 && why.find_first_of("\x1b\x07") == std::string::npos);
        EXPECT_EQ(decoder.feed(framed("file:///a.jpg\n")), HandoverDecoder::Result::rejected);  // for good
        EXPECT_TRUE(decoder.urls().empty());
    }
    EXPECT_EQ(HandoverDecoder().feed(framed("file:///a.jpg\n").substr(0, 20)),
              HandoverDecoder::Result::incomplete);
}

}  // namespace
}  // namespace quillory::qt
