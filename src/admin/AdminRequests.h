// The request table of the administration program and its first page.
#pragma once

#include "runtime/RequestTable.h"

extern const RequestEntry kAdminRequests[];

// The page for an empty request name: the pre-login page of an initialised server, else the
// first-run set-up page with the configuration check's problem, if any.
[[noreturn]] void ShowFirstPage();
