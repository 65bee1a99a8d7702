#pragma once

// QUILLORY_ASAN: defined in a build with AddressSanitizer (GCC or clang), where resident-memory
// figures mean nothing and leak checking is on.
#if defined(__SANITIZE_ADDRESS__)
#define QUILLORY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLORY_ASAN 1
#endif
#endif
