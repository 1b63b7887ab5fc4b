// Guarded blocks: zeroed, ending at a page boundary, and a write one byte
// past the end faults (and is caught by the guard) instead of landing in
// other memory.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/platform.h"

#ifdef _WIN32
constexpr uint32_t kAccessViolation = 0xC0000005u;
#else
#include <signal.h>
constexpr uint32_t kAccessViolation = SIGSEGV;
#endif

namespace {

constexpr uintptr_t kPageSize = 4096;

void WriteOneByte(void* address) { *static_cast<volatile unsigned char*>(address) = 0x5A; }

TEST(guarded_memory, blocks_are_zeroed_end_on_a_page_and_fault_one_past_the_end) {
  const size_t sizes[] = {1, 100, kPageSize - 1, kPageSize, kPageSize + 1, 3 * kPageSize + 17, 131072};
  for (size_t i = 0; i < std::size(sizes); ++i) {
    const size_t bytes = sizes[i];
    auto* block = static_cast<unsigned char*>(platform::AllocateGuarded(bytes));
    ASSERT_NE(block, nullptr) << "row " << i << " (" << bytes << " bytes)";
    EXPECT_EQ((reinterpret_cast<uintptr_t>(block) + bytes) % kPageSize, 0u) << "row " << i << " (" << bytes << " bytes)";
    size_t nonZero = 0;
    for (size_t k = 0; k < bytes; ++k) nonZero += block[k] != 0;
    EXPECT_EQ(nonZero, 0u) << "row " << i << " (" << bytes << " bytes)";

    const platform::GuardOutcome first = platform::RunGuarded(WriteOneByte, block);
    const platform::GuardOutcome last = platform::RunGuarded(WriteOneByte, block + bytes - 1);
    const platform::GuardOutcome pastEnd = platform::RunGuarded(WriteOneByte, block + bytes);
    EXPECT_FALSE(first.faulted) << "row " << i << " (" << bytes << " bytes)";
    EXPECT_FALSE(last.faulted) << "row " << i << " (" << bytes << " bytes)";
    EXPECT_EQ(block[bytes - 1], 0x5A) << "row " << i << " (" << bytes << " bytes)";
    EXPECT_TRUE(pastEnd.faulted) << "row " << i << " (" << bytes << " bytes)";
    EXPECT_EQ(pastEnd.code, kAccessViolation) << "row " << i << " (" << bytes << " bytes)";
    platform::FreeGuarded(block, bytes);
  }
}

TEST(guarded_memory, an_impossible_size_is_refused) {
  EXPECT_EQ(platform::AllocateGuarded(SIZE_MAX), nullptr);
  EXPECT_EQ(platform::AllocateGuarded(SIZE_MAX - kPageSize), nullptr);
  platform::FreeGuarded(nullptr, 10);  // a null block is ignored
}

}  // namespace
