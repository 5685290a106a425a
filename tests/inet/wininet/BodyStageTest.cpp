// The stage between libcurl and the reader: bytes come out whole and in order through moves to
// the front and a full stage, and the memory is the one window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inet/wininet/BodyStage.h"

namespace {

using wininet::BodyStage;
using Put = BodyStage::Put;

constexpr std::size_t kKiB = 1024;

char StreamByte(std::size_t i) {
    return static_cast<char>((i * 2654435761u) >> 11);
}

// A stage fed with one numbered stream and read back against it.
struct Feed {
    BodyStage stage;
    std::size_t appended = 0;
    std::size_t taken = 0;

    Put Append(std::size_t size) {
        std::string piece(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            piece[i] = StreamByte(appended + i);
        }
        const Put put = stage.Append(piece.data(), size);
        if (put == Put::kTaken) {
            appended += size;
        }
        return put;
    }

    // Takes up to `size` bytes; false when one of them is not the stream's next.
    bool Take(std::size_t size) {
        std::string out(size, '\0');
        const std::size_t count = stage.Take(out.data(), size);
        for (std::size_t i = 0; i < count; ++i, ++taken) {
            if (out[i] != StreamByte(taken)) {
                return false;
            }
        }
        return true;
    }
};

TEST(BodyStage, BytesComeOutInOrderWithinTheLimit) {
    struct Op {
        bool append;  // or take
        std::size_t size;
        Put expected = Put::kTaken;
    };
    struct Case {
        const char* name;
        std::vector<Op> ops;
        std::size_t capacity;
    };
    constexpr std::size_t kLimit = BodyStage::kLimit;
    const Case cases[] = {
        {"a small body", {{true, 100}, {true, 1000}, {false, 1100}}, kLimit},
        {"unread bytes move to the front to make room",
         {{true, kLimit - 10}, {false, 100}, {true, 50}, {false, kLimit}},
         kLimit},
        {"full until the reader makes room",
         {{true, kLimit - 10},
          {true, 16 * kKiB, Put::kFull},
          {false, 1},
          {true, 16 * kKiB, Put::kFull},
          {false, 16 * kKiB},
          {true, 16 * kKiB},
          {false, kLimit}},
         kLimit},
        {"a piece larger than the window", {{true, kLimit + 1, Put::kFull}}, 0},
        {"an empty piece", {{true, 0}, {false, 1}}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Feed feed;
        for (const Op& op : c.ops) {
            if (op.append) {
                EXPECT_EQ(feed.Append(op.size), op.expected) << op.size;
            } else {
                ASSERT_TRUE(feed.Take(op.size)) << "at byte " << feed.taken;
            }
        }
        EXPECT_EQ(feed.taken, feed.appended);
        EXPECT_EQ(feed.stage.Unread(), 0u);
        EXPECT_EQ(feed.stage.Capacity(), c.capacity);
    }
}

}  // namespace
