#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillory::qt {

// What a second `quillory FILE...` sends to the running instance over the local socket:
// the header line, one file: URL a line, then an empty line. The answer is one line.
inline constexpr std::string_view kHandoverHeader = "quillory-open/1";
inline constexpr std::string_view kHandoverAccepted = "ok\n";
inline constexpr std::string_view kHandoverRejected = "rejected\n";
inline constexpr std::size_t kMaxHandoverBytes = 1024 * 1024;
inline constexpr std::size_t kMaxHandoverUrls = 1000;
inline constexpr std::size_t kMaxHandoverUrlBytes = 16 * 1024;

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
    // Why a message was rejected.
    const std::string& problem() const { return problem_; }

private:
    Result reject(std::string why);
    Result decide(std::string_view message);

    std::string buffer_;
    Result result_ = Result::incomplete;
    std::vector<std::string> urls_;
    std::string problem_;
};

// The file: URL a command-line argument names: a path (relative ones taken from
// `workingFolder`) or a file: URL of this machine. None for other URLs (http:, smb:, ...).
std::optional<std::string> fileUrlForArgument(std::string_view argument, std::string_view workingFolder);

}  // namespace quillory::qt
