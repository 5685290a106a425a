// The administrator password as the settings keep it: a salted yescrypt hash ("$y$..."), the
// form /etc/shadow uses, so that whoever reads the settings file learns no password. A stored
// text without that prefix is a password kept in plain text by an older version.
#pragma once

#include <optional>
#include <string>

class Env;

// True when `stored` is a hash rather than an older plain password.
bool IsPasswordHash(const std::string& stored);

// A yescrypt hash of `password` with a fresh salt from env's random source; nothing when no
// salt or hash can be made (the caller stores nothing then).
std::optional<std::string> HashPassword(const std::string& password, Env& env);

// True when `typed` is the stored password: a hash is recomputed with its own salt and the
// results compared in constant time; an older plain text is compared exactly, also in constant
// time. An empty stored text matches nothing.
bool PasswordMatches(const std::string& typed, const std::string& stored);
