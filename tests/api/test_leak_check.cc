// The sanitizer build of the suite relies on LeakSanitizer to catch blocks a
// failure path forgets. This checks, in that build only, that leak
// detection really runs here: some environments (ptrace restrictions,
// ASAN_OPTIONS with detect_leaks=0) silently turn it off, and every leak
// would then pass unnoticed.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ROREZIDE_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(ROREZIDE_TEST_ASAN)
#include <sanitizer/lsan_interface.h>

namespace {

// The block's address is kept only XOR-masked, so no scan can find a
// pointer to it until it is unmasked again.
volatile uintptr_t hidden_block;
constexpr uintptr_t MASK = 0x5A5A5A5A5A5A5A5AULL;

__attribute__((noinline)) void lose_block()
{
    void *p = std::malloc(4321);
    hidden_block = reinterpret_cast<uintptr_t>(p) ^ MASK;
}

__attribute__((noinline)) void release_block()
{
    std::free(reinterpret_cast<void *>(hidden_block ^ MASK));
    hidden_block = 0;
}

}  // namespace

TEST(LeakCheck, UnreachableBlockIsReported)
{
    lose_block();
    std::fprintf(stderr, "[ note     ] the leak report that follows is deliberate\n");
    int leaks = __lsan_do_recoverable_leak_check();
    release_block();
    EXPECT_NE(leaks, 0) << "LeakSanitizer did not report a deliberately lost block";
}
#endif
