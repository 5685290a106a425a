// The entry point's loop. A program answers one request when the web server runs it as CGI,
// and one request after another when the server starts it as a FastCGI application (standard
// input is then a listening socket).
#pragma once

#include <functional>

class Env;

// Runs `request` for each request the process gets and returns the program's exit status.
// `request` makes its own application object, so that nothing of one request but its files
// reaches the next, and gives it the Env passed in: the system's for a CGI run; in FastCGI
// mode one that keeps the files every request reads while they stay unchanged (KeepingEnv). In FastCGI mode each request runs as its CGI run would: the process
// environment holds the request's parameters (the spawner's variables stay beside them, apart
// from the CGI variables of the protocol), standard input holds the request body and what goes
// to standard output becomes the reply; a request that fails ends its reply and the next one
// follows.
int ServeRequests(const std::function<void(Env& env)>& request);

// True for the names of the variables that a web server sets per request (the CGI
// meta-variables, the request's header fields as HTTP_*, and the servers' own additions).
bool IsRequestVariable(const char* entry);
