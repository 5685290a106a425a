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
        if (app.SessionLoaded()) {
            page.SetStringVar("qa_lm_sm_name", app.Session().token);
        }
        app.RenderPage("quar_prelogin.htx");
    }
    page.SetIntVar("isonwin", 1);
    std::string problem;
    CheckConfiguration(problem, false);
    page.SetStringVar("err_msg", problem);
    app.RenderPage("quar_init.htx");
}
