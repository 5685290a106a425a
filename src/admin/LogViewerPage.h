// The log viewer page: the event log one page at a time through "quar_view_log.htx", newest
// first or grouped by category, with categories hidden and filters on product, user and
// computer; the viewer's choices are kept in the server settings.
#pragma once

#include "runtime/Reply.h"

class AdminApplication;

// Handler of the request "viewlog".
Reply HandleViewLog(AdminApplication& app);
