// The sanitizer build must really look for leaks: a CI that turned leak checking off would
// pass every soak without proving anything.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/support/support.h"

#ifdef QUILLORY_ASAN
#include <sanitizer/lsan_interface.h>

// The address of a block nobody can find any more: leaked, as far as the checker can tell.
[[gnu::noinline]] static std::uintptr_t leakHidden() {
    return reinterpret_cast<std::uintptr_t>(std::malloc(4096)) ^ ~std::uintptr_t{0};
}
#endif

TEST(Sanitizers, findLeaksInTheSanitizerBuild) {
    if (!quillory::support::kAddressSanitizer) GTEST_SKIP() << "not a sanitizer build";
#ifdef QUILLORY_ASAN
    // The report of the planted leak goes nowhere; the block is freed before the exit's check.
    const int saved = ::dup(2);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ::dup2(null, 2);
    const std::uintptr_t hidden = leakHidden();
    const int leaked = __lsan_do_recoverable_leak_check();
    std::free(reinterpret_cast<void*>(hidden ^ ~std::uintptr_t{0}));
    ::dup2(saved, 2);
    ::close(null);
    ::close(saved);
    EXPECT_NE(leaked, 0) << "leak checking is off: run with ASAN_OPTIONS=detect_leaks=1";
#endif
}
