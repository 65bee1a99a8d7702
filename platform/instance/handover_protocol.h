#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillory::instance {

// What a second `quillory FILE...` sends to the running instance over the local socket: the
// header line "quillory-open/2 <length>", then <length> bytes holding one file: URL a line. The
// answer is one line. URLs are bytes throughout: a file name need not be valid UTF-8.
inline constexpr std::string_view kHandoverHeader = "quillory-open/2";
inline constexpr std::string_view kHandoverAccepted = "ok\n";
inline constexpr std::string_view kHandoverRejected = "rejected\n";
inline constexpr std::size_t kMaxHandoverBytes = 4 * 1024 * 1024;
inline constexpr std::size_t kMaxHandoverUrlBytes = 16 * 1024;

// The message for `urls`. A list beyond kMaxHandoverBytes keeps its tail, which decides what
// the panel shows; URLs the receiver would refuse are left out.
std::string encodeHandover(const std::vector<std::string>& urls);

// Reads one hand-over message as its bytes arrive. Anything but a well-formed message of local
// file URLs within the limits is rejected as a whole; once decided, more bytes change nothing.
class HandoverDecoder {
public:
    enum class Result { incomplete, accepted, rejected };

    Result feed(std::string_view bytes);
    Result result() const { return result_; }
    // The files of an accepted message, in order (none: "just open the panel").
    const std::vector<std::string>& urls() const { return urls_; }
    // Why a message was rejected; safe to log (the peer's bytes in it are escaped and cut short).
    const std::string& problem() const { return problem_; }

private:
    Result reject(std::string why);
    Result readHeader();
    Result decide(std::string_view payload);

    std::string buffer_;
    std::optional<std::size_t> length_;
    Result result_ = Result::incomplete;
    std::vector<std::string> urls_;
    std::string problem_;
};

// `bytes` for a log line: printable ASCII and valid UTF-8 stay, control characters (C0, DEL,
// C1), backslashes and bytes that are not UTF-8 become \xNN escapes. At most `limit` bytes of
// the input are shown; "..." marks the cut.
std::string visibleBytes(std::string_view bytes, std::size_t limit = 120);

// The file: URL a command-line argument names: a path (relative ones taken from
// `workingFolder`) or a file: URL of this machine. None for other URLs (http:, smb:, ...).
std::optional<std::string> fileUrlForArgument(std::string_view argument, std::string_view workingFolder);

// The current folder as the system names it, bytes and all ("" when it is gone).
std::string workingFolder();

}  // namespace quillory::instance
