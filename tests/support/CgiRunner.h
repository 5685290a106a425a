// Runs a built program the way a web server runs a CGI program: a chosen environment (and
// nothing else), a request body on standard input, a working directory; captures standard
// output and the exit status. With QUAR_TEST_FASTCGI set, the server programs answer through
// FastCGI instead (support/FastCgiApps.h).
#pragma once

#include <map>
#include <string>
#include <vector>

struct CgiResult {
    std::string output;   // everything written to standard output
    int exitStatus = -1;  // the exit status, or -1 when the program did not exit normally
    int signal = 0;       // the signal that ended it, if any
    int writes = 0;       // with CgiRequest::countWrites: the writes the output came in
};

struct CgiRequest {
    std::string program;                     // path of the executable
    std::string argv0;                       // argument 0 (default: program)
    std::map<std::string, std::string> env;  // the whole environment
    std::string stdinData;                   // the request body
    std::string workingDirectory;            // default: the test's own
    int runAsUid = -1;                       // when >= 0 (and run as root): that user and group
    // When > 0: the program is killed after that many seconds (CgiResult::signal shows it).
    int timeoutSeconds = 0;
    // When >= 0: the reader goes away (closes its end) after that many bytes of output, as a
    // web server does when its client has gone.
    long outputLimit = -1;
    // When >= 0: files the program writes cannot grow beyond that many bytes, as on a full
    // disk (a write is cut at the limit; SIGXFSZ is ignored so that the write only fails).
    long fileSizeLimit = -1;
    // Standard input and output are the two ends of a connected socket pair instead of pipes,
    // as Apache's mod_cgid gives them.
    bool socketStreams = false;
    // Standard output is a socket that keeps each write a record of its own (at most 64 KiB),
    // so that CgiResult::writes counts them.
    bool countWrites = false;
};

CgiResult RunCgi(const CgiRequest& request);

// The header and body of a CGI answer, split at the first blank line ("\r\n\r\n").
struct CgiAnswer {
    std::string header;
    std::string body;
};
CgiAnswer SplitAnswer(const std::string& output);
