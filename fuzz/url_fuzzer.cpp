// libFuzzer target: one selection string through the URL parsing and the qualifying test. Stops
// on a crash or undefined behaviour, and on a local photo path that could name another file: one
// that is not absolute, holds a NUL (the system would read only the part before it), or does not
// come back unchanged from the URL the program makes of it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "inspection/photo_kind.h"
#include "inspection/summary.h"
#include "inspection/url.h"

[[noreturn]] static void wrong(const char* what, std::string_view text) {
    std::fprintf(stderr, "%s: %.*s\n", what, static_cast<int>(text.size()), text.data());
    std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<quillory::Url> url = quillory::Url::fromString(text);
    if (!url) return 0;
    (void)url->pathExtension();
    if (!quillory::isQualifying(*url)) return 0;
    const std::string& path = url->path();
    if (path.empty() || path.front() != '/') wrong("a photo path that is not absolute", text);
    if (path.find('\0') != std::string::npos) wrong("a photo path with a NUL", text);
    const quillory::Url again = quillory::Url::fromLocalPath(path);
    if (again.path() != path || !quillory::isQualifying(again)) wrong("a photo path that changes", text);
    // The name is shown cleaned of control characters and invalid UTF-8, as every file text is.
    const std::string name = quillory::cleanText(quillory::lastPathComponent(path));
    if (!quillory::composeSummary(path, std::nullopt, std::nullopt).starts_with(name + "  (0 kB) \n"))
        wrong("a summary without the name", text);
    return 0;
}
