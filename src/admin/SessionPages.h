// The pages of set-up, login, the main page and logout, the first page of a request without a
// name, and the session check that every page behind the login shares.
#pragma once

#include <string>

class AdminApplication;
class HtxProcessor;

// Request handlers; each ends the process.
[[noreturn]] void HandleInitBase(AdminApplication& app);
[[noreturn]] void HandleLogin(AdminApplication& app);
[[noreturn]] void HandleMain(AdminApplication& app);
[[noreturn]] void HandleLogout(AdminApplication& app);

// The page for an empty request name: the pre-login page of an initialised server, else the
// first-run set-up page with the configuration check's problem, if any.
[[noreturn]] void ShowFirstPage(AdminApplication& app);

// The start of every page behind the login: an uninitialised server gets the set-up page, a
// request without session the login page, another client's active session the
// "LOGGET_OTHER" error, an expired session the login page with the time-out message. Returns
// only for the requester's own active session, after touching it.
void BeginProtectedPage(AdminApplication& app);

// True when the server has been set up and has an administrator password. A password cleared
// by the installer asks for set-up again, with the other settings kept.
bool ServerInitialised(AdminApplication& app);

// A form field of the request as text: empty when absent.
std::string FormText(const HtxProcessor& page, const char* name);
// True when the request carried the field.
bool HasFormField(const HtxProcessor& page, const char* name);
