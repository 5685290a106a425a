// The entry point's loop: a program answers one request when the web server runs it as CGI.
#pragma once

#include <functional>

// Runs `request` for the request of the process and returns the exit status of the program.
// `request` makes its own application object, so that nothing of one request reaches another.
int ServeRequests(const std::function<void()>& request);
