// The pages of set-up, login, the main page and logout, and the session check that every
// page behind the login shares.
#pragma once

#include <string>

// Request handlers; each ends the process.
[[noreturn]] void HandleInitBase();
[[noreturn]] void HandleLogin();
[[noreturn]] void HandleMain();
[[noreturn]] void HandleLogout();

// The start of every page behind the login: an uninitialised server gets the set-up page, a
// request without session the login page, another client's active session the
// "LOGGET_OTHER" error, an expired session the login page with the time-out message. Returns
// only for the requester's own active session, after touching it.
void BeginProtectedPage();

// True when the server has been set up and has an administrator password. A password cleared
// by the installer asks for set-up again, with the other settings kept.
bool ServerInitialised();

// A form field of the request as text: empty when absent.
std::string FormText(const char* name);
// True when the request carried the field.
bool HasFormField(const char* name);
