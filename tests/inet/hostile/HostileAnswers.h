// The malformed answers of the hostile-server tests, one row each, with what each transport
// must make of them: the result code and the body delivered. The short test runs every row once
// through both transports; the long one draws rows at random.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "support/RawServer.h"

// What a transport gives for an answer.
struct Expected {
    uint32_t result;
    std::string body;  // "*": not checked (the bytes of a failure differ by transport)
};

struct HostileAnswer {
    std::string name;
    std::vector<RawReply> replies;  // the first connection's, then the next (the last repeats)
    Expected socket;
    Expected layer;
    std::string verb = "GET";
    bool slow = false;  // waits for a time-out: left out of the random run
};

// The rows; `closedPort` is a port of 127.0.0.1 where nothing listens.
std::vector<HostileAnswer> HostileAnswers(int closedPort);
