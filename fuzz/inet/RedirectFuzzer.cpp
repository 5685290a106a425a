// The redirect resolver on any Location and request path: what it gives is a target the
// transport can write into a request line (no blank, CR or LF; a host and a port), and
// resolving that target's own URL gives it again.
//
// Input: the request path up to the first LF (a fixed one unless it starts with "/"), then the
// Location.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "inet/RedirectTarget.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

bool HasBlankOrLineEnd(const std::string& text) {
    return text.find_first_of(" \t\r\n", 0) != std::string::npos ||
           text.find('\0') != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    std::string basePath = input.substr(0, newline);
    // The request's own path is as the client wrote it; one with dot segments is taken as it
    // is by an empty Location, so the base here has none.
    if (basePath.empty() || basePath[0] != '/' || HasBlankOrLineEnd(basePath) ||
        basePath.find("/.") != std::string::npos) {
        basePath = "/dir/page?q=1";
    }
    const std::string location = newline == std::string::npos ? "" : input.substr(newline + 1);
    const inet::HttpTarget base{"example.test", 8080, basePath};

    const std::optional<inet::HttpTarget> target = inet::ResolveRedirect(base, location);
    if (!target) {
        return 0;
    }
    Check(!target->host.empty() && target->host.size() <= 259, "host length");
    Check(!HasBlankOrLineEnd(target->host) &&
              target->host.find_first_of("/?#@[]") == std::string::npos,
          "host is one name");
    Check(target->port >= 1 && target->port <= 65535, "port in range");
    Check(!target->path.empty() && target->path[0] == '/', "path starts with /");
    Check(!HasBlankOrLineEnd(target->path), "path holds no blank or line end");
    Check(target->path.find('#') == std::string::npos, "no fragment");

    // The URL the transport reports for the redirect leads to the same place, from anywhere.
    const bool literal = target->host.find(':') != std::string::npos;  // IPv6, in brackets
    const std::string url = "http://" + (literal ? "[" + target->host + "]" : target->host) + ":" +
                            std::to_string(target->port) + target->path;
    const std::optional<inet::HttpTarget> again =
        inet::ResolveRedirect(inet::HttpTarget{"other.test", 80, "/x/y"}, url);
    Check(again && *again == *target, "the target's URL resolves to itself");
    return 0;
}
