// The pages of set-up, login, the main page and logout, the first page of a request without a
// name, and the session check that every page behind the login shares.
#pragma once

#include <optional>

#include "runtime/Reply.h"

class AdminApplication;

// Request handlers.
Reply HandleInitBase(AdminApplication& app);
Reply HandleLogin(AdminApplication& app);
Reply HandleMain(AdminApplication& app);
Reply HandleLogout(AdminApplication& app);

// The page for an empty request name: the pre-login page of an initialised server, else the
// first-run set-up page with the configuration check's problem, if any.
Reply ShowFirstPage(AdminApplication& app);

// The start of every page behind the login: an uninitialised server gets the set-up page, a
// request without session the login page, another client's active session the
// "LOGGET_OTHER" error, an expired session the login page with the time-out message. Nothing
// only for the requester's own active session, after touching it.
std::optional<Reply> BeginProtectedPage(AdminApplication& app);

// True when the server has been set up and has an administrator password. A password cleared
// by the installer asks for set-up again, with the other settings kept.
bool ServerInitialised(AdminApplication& app);
