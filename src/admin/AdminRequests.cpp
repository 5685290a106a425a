#include "admin/AdminRequests.h"

#include "admin/AdminApplication.h"
#include "admin/Diagnostics.h"
#include "admin/LogViewerPage.h"
#include "admin/OptionsPage.h"
#include "admin/PageVariables.h"
#include "admin/SessionPages.h"
#include "htx/HtxProcessor.h"

namespace {
constexpr const char* kPasswordCleared =
    "The administrator password has been cleared. Please enter a new Administrator password.";
}  // namespace

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
    if (ServerInitialised()) {
        // The start page is open to anyone: it never learns the active session's token,
        // which would let any visitor take the session over.
        app.RenderPage("quar_prelogin.htx");
    }
    page.SetIntVar("isonwin", 1);
    std::string problem;
    if (!CheckConfiguration(problem, false, app.Platform())) {
        SetPageMessage(page, MessageKind::Error, problem);
    } else if (app.SettingsLoaded()) {
        // Set up before, and the password cleared by the installer: the form shows the stored
        // values, and only a new password is missing.
        const ServerSettings& settings = app.Settings();
        page.SetStringVar("compname", settings.companyName);
        page.SetStringVar("sysopname", settings.adminName);
        page.SetStringVar("sysoptel", settings.adminPhone);
        page.SetStringVar("sysopemail", settings.adminEmail);
        SetPageMessage(page, MessageKind::Info, kPasswordCleared);
    }
    app.RenderPage("quar_init.htx");
}
