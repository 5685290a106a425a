// quar_cgi_request [--cwd DIR] [--body TEXT] [--repeat N] PROGRAM [NAME=VALUE...]
// Runs a CGI program for a test script as the tests' own runner does (RunCgi): the given
// variables are its whole environment (with CONTENT_LENGTH for a body), the body comes on
// standard input, the output is dropped. With --repeat the program runs N times and "{n}" in a
// value becomes the number of the run (1..N). Exit status 0 when every run exited with 0, 1 when
// one did not, 2 on a usage error.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "support/CgiRunner.h"

namespace {

std::string Numbered(std::string value, long run) {
    for (std::size_t at = value.find("{n}"); at != std::string::npos; at = value.find("{n}", at)) {
        value.replace(at, 3, std::to_string(run));
    }
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    CgiRequest request;
    long repeat = 1;
    int arg = 1;
    for (; arg + 1 < argc && std::strncmp(argv[arg], "--", 2) == 0; arg += 2) {
        if (std::strcmp(argv[arg], "--cwd") == 0) {
            request.workingDirectory = argv[arg + 1];
        } else if (std::strcmp(argv[arg], "--body") == 0) {
            request.stdinData = argv[arg + 1];
        } else if (std::strcmp(argv[arg], "--repeat") == 0) {
            repeat = std::strtol(argv[arg + 1], nullptr, 10);
        } else {
            break;
        }
    }
    if (arg >= argc || std::strncmp(argv[arg], "--", 2) == 0 || repeat < 1) {
        std::cerr << "usage: quar_cgi_request [--cwd DIR] [--body TEXT] [--repeat N] PROGRAM "
                     "[NAME=VALUE...]\n";
        return 2;
    }
    request.program = argv[arg++];
    for (long run = 1; run <= repeat; ++run) {
        CgiRequest one = request;
        if (!one.stdinData.empty()) {
            one.env["CONTENT_LENGTH"] = std::to_string(one.stdinData.size());
        }
        for (int i = arg; i < argc; ++i) {
            const char* equals = std::strchr(argv[i], '=');
            if (equals == nullptr) {
                std::cerr << "quar_cgi_request: not NAME=VALUE: " << argv[i] << "\n";
                return 2;
            }
            one.env[std::string(argv[i], static_cast<std::size_t>(equals - argv[i]))] =
                Numbered(equals + 1, run);
        }
        const CgiResult result = RunCgi(one);
        if (result.exitStatus != 0) {
            std::cerr << "quar_cgi_request: run " << run << " of " << request.program
                      << " ended with status " << result.exitStatus << ", signal " << result.signal
                      << "\n";
            return 1;
        }
    }
    return 0;
}
