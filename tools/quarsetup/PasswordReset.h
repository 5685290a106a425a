// The way back in for an administrator who forgot the password.
#pragma once

#include <string>

// Empties the administrator password of the settings stored in `dataDirectory`, keeping every
// other setting, the session file and the event log as they are. The administration pages then
// count the server as not set up: the next visit shows the set-up form with the stored values,
// and only a new password is needed. On failure (no settings stored there, or they cannot be
// read or written) returns false with a message in `error`.
bool ClearAdminPassword(const std::string& dataDirectory, std::string& error);
