// Bounds on what one archive text may ask of the reader. Archives arrive from the network
// (request bodies), so a text must not be able to make the reader allocate without limit,
// recurse without limit or hang; crossing a bound raises the reader's usual exception.
#pragma once

#include <cstddef>
#include <cstdint>

// Longest token text (a tag, or a word after decoding). Stored records and requests hold short
// texts; 64 MiB leaves room for any blob a record may carry while keeping a digit run such as
// "\99999999999:" from being taken as a length.
constexpr std::size_t kMaxTokenBytes = std::size_t{64} << 20;

// Deepest nesting of objects and collections (the length of the context path). Records of the
// system nest a few levels; the bound keeps the recursion of object reading and writing far
// from the end of the stack.
constexpr std::size_t kMaxNestingDepth = 128;

// Most objects one archive may define as shared ("def"). A document shares a handful; the
// bound keeps the shared object table and the writer's index small.
constexpr std::int32_t kMaxSharedObjects = 1 << 16;

// Longest archive name that an object read by pointer may carry. Names of classes are short
// words; a longer one is refused before it is looked up or kept in a foreign object.
constexpr std::size_t kMaxArchiveNameBytes = 255;

// Texts taken from the input (tags, names) are cut to this many bytes when they become the
// detail of an error, so that an error stays readable whatever the input holds.
constexpr std::size_t kMaxDetailInputBytes = 64;
