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
    bool configure = false;  // --configure: the settings dialog instead of a request
    bool help = false;
    bool version = false;  // --version: the version line instead of a request
};

// The arguments of `argv`, or a message saying what is wrong with them.
std::optional<Arguments> ParseArguments(int argc, char** argv, std::string& error);

extern const char* const kUsage;
