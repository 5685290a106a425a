#include "admin/SessionPages.h"

#include "admin/AdminApplication.h"
#include "admin/Diagnostics.h"
#include "admin/FormFields.h"
#include "admin/PageVariables.h"
#include "admin/PasswordCompare.h"
#include "admin/PasswordRules.h"
#include "htx/HtxProcessor.h"
#include "runtime/RequestInput.h"
#include "settings/SettingsStore.h"

namespace {

constexpr const char* kInitPage = "quar_init.htx";
constexpr const char* kLoginPage = "quar_login.htx";
constexpr const char* kMainPage = "quar_main.htx";
constexpr const char* kTimeoutMessage = "ERROR: Inactivity timeout. Please relogin.";
constexpr const char* kPasswordCleared =
    "The administrator password has been cleared. Please enter a new Administrator password.";

uint32_t Now(AdminApplication& app) {
    return static_cast<uint32_t>(app.Platform().Now());
}

void CopyField(const HtxProcessor& page, const char* name, std::string& setting) {
    if (HasFormField(page, name)) {
        setting = FormText(page, name);
    }
}

// The first failed check of the set-up form, or null when it passes.
const char* SetupProblem(const ServerSettings& s, const std::string& repeated) {
    if (s.companyName.empty()) {
        return "ERROR: Please enter company name.";
    }
    if (s.adminName.empty()) {
        return "ERROR: Please enter Administrator name (i.e. John Smith).";
    }
    if (s.adminPhone.empty() && s.adminEmail.empty()) {
        return "ERROR: Please enter Administrator telephone and/or e-mail.";
    }
    if (!LongEnoughPassword(s.adminPassword)) {
        return kPasswordPrompt;
    }
    if (s.adminPassword != repeated) {
        return kPasswordsDiffer;
    }
    return nullptr;
}

// A new session for the requesting client.
void OpenSession(AdminApplication& app, const std::string& token) {
    AdminSession& session = app.Session();
    session.version = AdminSession::kVersion;
    session.clientAddress = app.ClientAddress();
    session.proxyAddress = app.ProxyAddress();
    session.remoteHost = app.RemoteHost();
    session.token = token;
}

Reply ShowTimeoutLogin(AdminApplication& app) {
    app.DeleteSession();
    app.LogCode(app.Event(), "AUTOLOGOUT");
    SetPageMessage(app.Processor(), MessageKind::Error, kTimeoutMessage);
    return Reply::Page(kLoginPage);
}

// A refused login: an event of its own, so that the log shows password guessing and where it
// came from, then the login page again.
Reply RefuseLogin(AdminApplication& app) {
    app.LogCode(app.Event(), "LOGIN_REFUSED");
    SetPageMessage(app.Processor(), MessageKind::Error, kPasswordInvalid);
    return Reply::Page(kLoginPage);
}

}  // namespace

bool ServerInitialised(AdminApplication& app) {
    return app.SettingsLoaded() && !app.Settings().adminPassword.empty();
}

Reply ShowFirstPage(AdminApplication& app) {
    HtxProcessor& page = app.Processor();
    if (ServerInitialised(app)) {
        // The start page is open to anyone: it never learns the active session's token,
        // which would let any visitor take the session over.
        return Reply::Page("quar_prelogin.htx");
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
    return Reply::Page(kInitPage);
}

Reply HandleInitBase(AdminApplication& app) {
    if (ServerInitialised(app)) {
        return HandleMain(app);
    }
    HtxProcessor& page = app.Processor();
    ServerSettings& settings = app.Settings();
    CopyField(page, "compname", settings.companyName);
    CopyField(page, "sysopname", settings.adminName);
    CopyField(page, "sysoptel", settings.adminPhone);
    CopyField(page, "sysopemail", settings.adminEmail);
    CopyField(page, "pswd1", settings.adminPassword);
    if (const char* problem = SetupProblem(settings, FormText(page, "pswd2"))) {
        page.SetIntVar("isonwin", 1);
        SetPageMessage(page, MessageKind::Error, problem);
        return Reply::Page(kInitPage);
    }
    if (!SaveServerSettings(settings, app.DataDirectory(), app.Platform())) {
        return app.RaiseCode(app.Event(), "ERR_WRITECFG");
    }
    AdminSession& session = app.Session();
    // A fresh token, as at login: a session left from before a cleared password is not reused.
    OpenSession(app, GenerateRequestToken(app.Platform()));
    session.lastActivity = Now(app);
    if (!app.SaveSession()) {
        app.DeleteSession();
        return app.RaiseCode(app.Event(), "ERR_WRITESF");
    }
    page.SetStringVar("qa_lm_sm_name", session.token);
    app.LogCode(app.Event(), "INIT");
    return Reply::Page(kMainPage);
}

Reply HandleLogin(AdminApplication& app) {
    if (!ServerInitialised(app)) {
        return HandleInitBase(app);
    }
    HtxProcessor& page = app.Processor();
    if (app.SessionLoaded()) {
        const AdminSession& session = app.Session();
        const bool active =
            SessionActive(session.lastActivity, app.Settings().inactivityTimeout, Now(app));
        if (active &&
            (session.clientAddress != app.ClientAddress() || session.token != app.RequestToken())) {
            return app.RaiseCode(app.Event(), "LOGGET_OTHER");
        }
        app.DeleteSession();
        app.LogCode(app.Event(), "AUTOLOGOUT");
    }
    if (!HasFormField(page, "passwd")) {
        SetPageMessage(page, MessageKind::Info, kPasswordPrompt);
        return Reply::Page(kLoginPage);
    }
    if (!SamePassword(FormText(page, "passwd"), app.Settings().adminPassword)) {
        return RefuseLogin(app);
    }
    // The session gets a token of the server's own making: a token from the request could
    // have been chosen by whoever sent the administrator the link.
    OpenSession(app, GenerateRequestToken(app.Platform()));
    if (std::optional<Reply> failed = app.TouchSession()) {
        return std::move(*failed);
    }
    page.SetStringVar("qa_lm_sm_name", app.Session().token);
    std::string problem;
    if (CheckConfiguration(problem, false, app.Platform())) {
        SetPageMessage(page, MessageKind::Info, kAdminBanner);
    } else {
        SetPageMessage(page, MessageKind::Error, problem);
    }
    app.LogCode(app.Event(), "LOGIN");
    return Reply::Page(kMainPage);
}

std::optional<Reply> BeginProtectedPage(AdminApplication& app) {
    if (!ServerInitialised(app)) {
        return HandleInitBase(app);
    }
    if (!app.SessionLoaded()) {
        return HandleLogin(app);
    }
    switch (app.CheckSession()) {
        case AdminApplication::SessionOwner::kOther:
            return app.RaiseCode(app.Event(), "LOGGET_OTHER");
        case AdminApplication::SessionOwner::kExpired:
            return ShowTimeoutLogin(app);
        case AdminApplication::SessionOwner::kRequest:
            break;
    }
    return app.TouchSession();
}

Reply HandleMain(AdminApplication& app) {
    if (std::optional<Reply> other = BeginProtectedPage(app)) {
        return std::move(*other);
    }
    return Reply::Page(kMainPage);
}

Reply HandleLogout(AdminApplication& app) {
    if (!ServerInitialised(app)) {
        return HandleInitBase(app);
    }
    if (!app.SessionLoaded()) {
        return HandleLogin(app);
    }
    const AdminApplication::SessionOwner owner = app.CheckSession();
    if (owner == AdminApplication::SessionOwner::kOther) {
        return app.RaiseCode(app.Event(), "LOGGET_OTHER");
    }
    const bool valid = owner == AdminApplication::SessionOwner::kRequest;
    app.DeleteSession();
    app.ForgetSession();
    app.LogCode(app.Event(), valid ? "LOGOUT" : "AUTOLOGOUT");
    return HandleLogin(app);
}
