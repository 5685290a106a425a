#include "admin/AdminRequests.h"

#include "admin/AdminApplication.h"
#include "admin/Diagnostics.h"
#include "admin/LogViewerPage.h"
#include "admin/OptionsPage.h"
#include "admin/SessionPages.h"
#include "htx/HtxProcessor.h"

const RequestEntry kAdminRequests[] = {
    {"init_base", HandleInitBase}, {"login", HandleLogin},
    {"main", HandleMain},          {"options", HandleOptions},
    {"logout", HandleLogout},      {"viewlog", HandleViewLog},
    {"test", HandleBanner},        {"test0", HandleCheckConfiguration},
    {"test2", HandleBanner},       {"test3", HandleBanner},
    {"test5", HandleBanner},       {nullptr, nullptr},
};

void ShowFirstPage() {
    AdminApplication& app = AdminApplication::Get();
    HtxProcessor& page = app.Processor();
    if (app.SettingsLoaded()) {
        // The start page is open to anyone: it never learns the active session's token,
        // which would let any visitor take the session over.
        app.RenderPage("quar_prelogin.htx");
    }
    page.SetIntVar("isonwin", 1);
    std::string problem;
    CheckConfiguration(problem, false);
    page.SetStringVar("err_msg", problem);
    app.RenderPage("quar_init.htx");
}
