#pragma once

#include <string_view>

namespace quillory {

class Url;

// The extensions of the photos the panel can show. The test is case-sensitive on purpose:
// "Jpg" or "jpeg" never qualify.
inline constexpr std::string_view kQualifyingExtensions[] = {"jpg", "JPG", "CR2", "cr2"};

bool isQualifyingExtension(std::string_view extension);

// A selected item is a photo the panel shows when it names a local file with a qualifying
// extension. Remote URLs never qualify, so no local file is ever read on their behalf.
bool isQualifying(const Url& url);

}  // namespace quillory
