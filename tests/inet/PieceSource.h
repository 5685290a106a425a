// A body from the caller's source in pieces, as a file is read; shared by the transports' tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A body from the caller's source in pieces, as a file is read.
struct PieceSource {
    std::vector<std::string> pieces;
    size_t next = 0;
    uint32_t failAt = 0;  // answers 0x20000003 at this piece (1-based), 0: never
    int rewinds = 0;
    static uint32_t Next(void* self, const char** bytes, uint32_t* length) {
        PieceSource& s = *static_cast<PieceSource*>(self);
        if (s.failAt != 0 && s.next + 1 == s.failAt) {
            return 0x20000003;
        }
        const bool more = s.next < s.pieces.size();
        *bytes = more ? s.pieces[s.next].data() : "";
        *length = more ? static_cast<uint32_t>(s.pieces[s.next++].size()) : 0;
        return 0;
    }
    static uint32_t Rewind(void* self) {
        static_cast<PieceSource*>(self)->next = 0;
        ++static_cast<PieceSource*>(self)->rewinds;
        return 0;
    }
};
