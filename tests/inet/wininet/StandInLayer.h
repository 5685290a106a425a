// A stand-in for the platform internet library: a module with the same entry points that
// records every call and answers from a script, for tests of the transport's calls.
#pragma once

#include <stdint.h>

struct StandInScript {
    const char* headers = "HTTP/1.0 200 OK\r\n\r\n";  // the raw header block
    // Sizes of the body's blocks as the library has them at hand; the bytes are 'x', or those of
    // `body` (`bodyLength` bytes) when it is set.
    const uint32_t* blocks = nullptr;
    int blockCount = 0;
    const char* body = nullptr;
    uint32_t bodyLength = 0;
    // The result of each send (0: success) and each dialog answer; past the lists: 0.
    const uint32_t* sendErrors = nullptr;
    int sendErrorCount = 0;
    const uint32_t* dialogAnswers = nullptr;
    int dialogAnswerCount = 0;
};

// Sets the script and clears the record.
typedef void (*StandInStartFn)(const StandInScript* script);
// The calls since the start, one line each: "Name(argument,...)".
typedef const char* (*StandInRecordFn)();
