// The options page: the administrator's contact data, the administrator password, the
// inactivity time-out of sessions and the event logging switch, edited through
// "quar_options.htx".
#pragma once

#include "runtime/Reply.h"

class AdminApplication;

// Handler of the request "options". Shows the stored values, or applies the submitted form
// ("snd" = "Submit"): a refused form saves nothing and comes back as it was typed; an accepted
// one is saved and logged as a "MESSAGE" event.
Reply HandleOptions(AdminApplication& app);
