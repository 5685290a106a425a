// The command line of quarget.
#pragma once

#include <cstdint>

#include <optional>
#include <string>
#include <vector>

struct FormField {
    std::string name;
    std::string value;  // the text, or the file name when `fromFile`
    bool fromFile = false;
};

struct Arguments {
    std::string url;
    std::string outputFile;  // empty: standard output
    bool includeHeaders = false;
    bool keepPartial = false;  // --keep-partial: a failed transfer's bytes stay in -o FILE
    std::string verb;          // empty: GET, or POST with a body
    std::vector<std::string> headers;
    std::optional<std::string> data;  // -d: text, or "@FILE"
    std::vector<FormField> form;
    std::string settingsKey = "quarget";
    std::optional<std::string> proxy;      // HOST:PORT
    std::optional<std::string> proxyUser;  // USER:PASSWORD
    bool verbose = false;
    bool fail = false;    // -f: a final status of 400 or more fails with exit status 22
    bool save = false;    // --save: --proxy and --proxy-user are stored under the settings key
    bool direct = false;  // --direct: this run connects directly
    std::string noProxy;  // --noproxy HOSTS: directly to these hosts ("*": to all)
    bool silent = false;  // -s: no progress and no messages
    std::optional<std::string> user;  // -u USER:PASSWORD for the server
    std::string writeOut;             // -w FORMAT
    uint32_t maxTimeMs = 0;           // --max-time: the whole transfer (0: no limit)
    uint32_t connectTimeoutMs = 0;    // --connect-timeout (0: the library's own)
    bool configure = false;           // --configure: the settings dialog instead of a request
    bool help = false;
    bool version = false;  // --version: the version line instead of a request
};

// The arguments of `argv`, or a message saying what is wrong with them.
std::optional<Arguments> ParseArguments(int argc, char** argv, std::string& error);

extern const char* const kUsage;
