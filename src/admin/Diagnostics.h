// The configuration check of the diagnostics requests, the set-up page and the login.
#pragma once

#include <string>

#include "runtime/Reply.h"

class AdminApplication;
class Env;

// The version banner of the administration program.
constexpr const char* kAdminBanner = "Pellmora version 3.0 (July 31 2009)";

// Checks through env that the data directory is configured in the registry and writable, by
// creating, writing and deleting the probe file "__tst_write" in it. Verbose: appends the
// banner, each passed check and the line breaks; quiet: only a problem message. Appends at most
// one problem message and returns false when a check fails; a probe that cannot be cleared
// away, written, closed or removed gives "Exception at step N." with N 90, 120, 123 or 125.
bool CheckConfiguration(std::string& output, bool verbose, Env& env);

// Request handlers that need no session: "test", "test2", "test3", "test5" answer the banner,
// "test0" the verbose configuration check.
Reply HandleBanner(AdminApplication& app);
Reply HandleCheckConfiguration(AdminApplication& app);
