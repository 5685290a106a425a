// The library's heap: blocks keep their bytes through any sequence of growth and shrinking,
// across the size where large blocks get a mapping of their own.
#include <gtest/gtest.h>
#include <inttypes.h>
#include <stdint.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "QuarInet.h"
#include "inet/InetHeap.h"

// The heap answers null when memory runs out; under AddressSanitizer, whose allocator aborts on
// an impossible size by default, the same answer is asked for.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}

namespace {

constexpr size_t kMiB = 1u << 20;

unsigned char Pattern(size_t i) {
    return static_cast<unsigned char>((i * 2654435761u) >> 13);
}

// Fills [from, to) of the block with the pattern; true when [0, from) still holds it.
bool KeepsAndFills(void* block, size_t from, size_t to) {
    auto* bytes = static_cast<unsigned char*>(block);
    for (size_t i = 0; i < from; i += 4093) {
        if (bytes[i] != Pattern(i) || bytes[from - 1] != Pattern(from - 1)) {
            return false;
        }
    }
    for (size_t i = from; i < to; ++i) {
        bytes[i] = Pattern(i);
    }
    return true;
}

TEST(InetHeap, BlocksKeepTheirBytesThroughGrowthAndShrinking) {
    const std::vector<std::vector<size_t>> sequences = {
        {16386, 16386, 49154, kMiB / 2, kMiB - 1},  // small blocks of the C heap
        {64, kMiB - 1, kMiB, 9 * kMiB},             // into a mapping of its own at 1 MiB
        {5 * kMiB, 5 * kMiB + 1, 11 * kMiB, 40 * kMiB, 41 * kMiB},  // mappings that move
        {20 * kMiB, 3 * kMiB, 1, 30 * kMiB},                        // shrunk mapping grows again
        {0, 1, 0, 6 * kMiB, 0},                                     // empty blocks on either side
    };
    for (const auto& sizes : sequences) {
        void* block = inet::HeapAllocate(sizes[0]);
        ASSERT_NE(block, nullptr);
        size_t filled = sizes[0];
        ASSERT_TRUE(KeepsAndFills(block, 0, filled));
        for (size_t step = 1; step < sizes.size(); ++step) {
            SCOPED_TRACE(testing::Message() << "from " << filled << " to " << sizes[step]);
            block = inet::HeapReallocate(block, sizes[step]);
            ASSERT_NE(block, nullptr);
            const size_t kept = std::min(filled, sizes[step]);
            ASSERT_TRUE(KeepsAndFills(block, kept, sizes[step]));
            filled = sizes[step];
        }
        QuarInetFree(block);
    }
}

TEST(InetHeap, ALargeBlockGrowsIntoItsRoomWithoutMovingOrLosingIt) {
    void* block = inet::HeapReallocate(inet::HeapAllocate(5 * kMiB), 7 * kMiB);
    ASSERT_NE(block, nullptr);
    const size_t room = inet::HeapRoom(block);
    if (room == 7 * kMiB) {
        QuarInetFree(block);
        GTEST_SKIP() << "large blocks stay on the C heap in this build";
    }
    ASSERT_GT(room, 11 * kMiB);  // doubled, so that growing in small steps rarely moves it
    for (size_t size = 7 * kMiB; size + kMiB <= room; size += kMiB) {
        SCOPED_TRACE(size);
        EXPECT_EQ(inet::HeapReallocate(block, size + kMiB), block);
        EXPECT_EQ(inet::HeapRoom(block), room);
    }
    QuarInetFree(block);
}

// Kilobytes of huge pages in the mapping that holds `address`, from the kernel's own account.
long HugePagesKbAt(const void* address) {
    std::ifstream smaps("/proc/self/smaps");
    const auto at = reinterpret_cast<uintptr_t>(address);
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        uintptr_t from = 0, to = 0;
        if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR " ", &from, &to) == 2) {
            inside = from <= at && at < to;
        } else if (inside && line.compare(0, 15, "AnonHugePages: ") == 0) {
            return std::atol(line.c_str() + 15);
        }
    }
    return -1;
}

// A body of megabytes must not cost a page fault per 4 KiB: on a virtual machine those faults
// took half the time of a fast download.
TEST(InetHeap, LargeBlocksSitInHugePages) {
    std::ifstream policy("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    std::getline(policy, modes);
    if (modes.empty() || modes.find("[never]") != std::string::npos) {
        GTEST_SKIP() << "this system has no huge pages to give";
    }
    void* block = inet::HeapAllocate(6 * kMiB);
    ASSERT_NE(block, nullptr);
    if (inet::HeapRoom(block) == 6 * kMiB) {
        QuarInetFree(block);
        GTEST_SKIP() << "large blocks stay on the C heap in this build";
    }
    std::memset(block, 1, 6 * kMiB);
    // Two whole huge pages at least lie inside 6 MiB, wherever the block starts.
    EXPECT_GE(HugePagesKbAt(block), 4096);
    QuarInetFree(block);
}

TEST(InetHeap, AnImpossibleSizeFailsAndLeavesTheBlock) {
    for (const size_t start : {size_t(100), 8 * kMiB}) {
        void* block = inet::HeapAllocate(start);
        ASSERT_NE(block, nullptr);
        ASSERT_TRUE(KeepsAndFills(block, 0, start));
        EXPECT_EQ(inet::HeapReallocate(block, SIZE_MAX - 8), nullptr);
        EXPECT_EQ(inet::HeapReallocate(block, SIZE_MAX / 2), nullptr);
        EXPECT_TRUE(KeepsAndFills(block, start, start));
        QuarInetFree(block);
    }
    EXPECT_EQ(inet::HeapAllocate(SIZE_MAX), nullptr);
    QuarInetFree(nullptr);
}

}  // namespace
