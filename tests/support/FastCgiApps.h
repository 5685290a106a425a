// The server programs as FastCGI applications for the black-box tests: with QUAR_TEST_FASTCGI
// set, RunCgi sends a request for one of them through libfcgi's cgi-fcgi bridge to an
// application process that it started the way a web server starts one (the listening socket as
// standard input), instead of running the program once. One process per program copy, argument
// 0, working directory, user and file size limit serves every request of a test with those.
#pragma once

#include <string>

struct CgiRequest;

// True when `request` goes through FastCGI: QUAR_TEST_FASTCGI is set and not empty, and the
// program is one of the three server programs.
bool ThroughFastCgi(const CgiRequest& request);

// The socket of the application process for `request`, started on first use and stopped (by
// its process id) when the test process ends.
std::string FastCgiSocketFor(const CgiRequest& request);

// The path of cgi-fcgi, the bridge that runs as the CGI program and forwards its environment
// and standard input to an application.
constexpr const char* kCgiFcgiBridge = "/usr/bin/cgi-fcgi";
