#include "admin/SessionPages.h"

#include "admin/AdminApplication.h"
#include "admin/Diagnostics.h"
#include "admin/PageVariables.h"
#include "admin/PasswordCompare.h"
#include "htx/HtxProcessor.h"
#include "runtime/RequestInput.h"
#include "settings/SettingsStore.h"

namespace {

constexpr const char* kInitPage = "quar_init.htx";
constexpr const char* kLoginPage = "quar_login.htx";
constexpr const char* kMainPage = "quar_main.htx";
// The shortest administrator password.
constexpr std::size_t kMinPasswordLength = 4;
constexpr const char* kPasswordPrompt = "Please enter Administrator password (>= 4 chars).";
constexpr const char* kTimeoutMessage = "ERROR: Inactivity timeout. Please relogin.";

AdminApplication& App() {
    return AdminApplication::Get();
}
HtxProcessor& Page() {
    return App().Processor();
}

uint32_t Now() {
    return static_cast<uint32_t>(App().Platform().Now());
}

void CopyField(const char* name, std::string& setting) {
    if (HasFormField(name)) {
        setting = FormText(name);
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
    if (s.adminPassword.size() < kMinPasswordLength) {
        return kPasswordPrompt;
    }
    if (s.adminPassword != repeated) {
        return "ERROR: New passwords does not match. Please reenter.";
    }
    return nullptr;
}

// A new session for the requesting client.
void OpenSession(const std::string& token) {
    AdminApplication& app = App();
    AdminSession& session = app.Session();
    session.version = AdminSession::kVersion;
    session.clientAddress = app.ClientAddress();
    session.proxyAddress = app.ProxyAddress();
    session.remoteHost = app.RemoteHost();
    session.token = token;
}

[[noreturn]] void ShowTimeoutLogin() {
    AdminApplication& app = App();
    app.DeleteSession();
    app.LogCode(app.Event(), "AUTOLOGOUT");
    SetPageMessage(Page(), MessageKind::Error, kTimeoutMessage);
    app.RenderPage(kLoginPage);
}

// A refused login: an event of its own, so that the log shows password guessing and where it
// came from, then the login page again.
[[noreturn]] void RefuseLogin() {
    AdminApplication& app = App();
    app.LogCode(app.Event(), "LOGIN_REFUSED");
    SetPageMessage(Page(), MessageKind::Error, "ERROR: Invalid password. Please reenter.");
    app.RenderPage(kLoginPage);
}

}  // namespace

std::string FormText(const char* name) {
    const HtxValue* value = Page().FindVar(name);
    return value && value->AsText() ? *value->AsText() : std::string();
}

bool HasFormField(const char* name) {
    const HtxValue* value = Page().FindVar(name);
    return value && value->AsText();
}

bool ServerInitialised() {
    AdminApplication& app = App();
    return app.SettingsLoaded() && !app.Settings().adminPassword.empty();
}

void HandleInitBase() {
    AdminApplication& app = App();
    if (ServerInitialised()) {
        HandleMain();
    }
    ServerSettings& settings = app.Settings();
    CopyField("compname", settings.companyName);
    CopyField("sysopname", settings.adminName);
    CopyField("sysoptel", settings.adminPhone);
    CopyField("sysopemail", settings.adminEmail);
    CopyField("pswd1", settings.adminPassword);
    if (const char* problem = SetupProblem(settings, FormText("pswd2"))) {
        Page().SetIntVar("isonwin", 1);
        SetPageMessage(Page(), MessageKind::Error, problem);
        app.RenderPage(kInitPage);
    }
    if (!SaveServerSettings(settings, app.DataDirectory(), app.Platform())) {
        app.RaiseCode(app.Event(), "ERR_WRITECFG");
    }
    AdminSession& session = app.Session();
    // A fresh token, as at login: a session left from before a cleared password is not reused.
    OpenSession(GenerateRequestToken(app.Platform()));
    session.lastActivity = Now();
    if (!app.SaveSession()) {
        app.DeleteSession();
        app.RaiseCode(app.Event(), "ERR_WRITESF");
    }
    Page().SetStringVar("qa_lm_sm_name", session.token);
    app.LogCode(app.Event(), "INIT");
    app.RenderPage(kMainPage);
}

void HandleLogin() {
    AdminApplication& app = App();
    if (!ServerInitialised()) {
        HandleInitBase();
    }
    if (app.SessionLoaded()) {
        const AdminSession& session = app.Session();
        const bool active =
            SessionActive(session.lastActivity, app.Settings().inactivityTimeout, Now());
        if (active &&
            (session.clientAddress != app.ClientAddress() || session.token != app.RequestToken())) {
            app.RaiseCode(app.Event(), "LOGGET_OTHER");
        }
        app.DeleteSession();
        app.LogCode(app.Event(), "AUTOLOGOUT");
    }
    if (!HasFormField("passwd")) {
        SetPageMessage(Page(), MessageKind::Info, kPasswordPrompt);
        app.RenderPage(kLoginPage);
    }
    if (!SamePassword(FormText("passwd"), app.Settings().adminPassword)) {
        RefuseLogin();
    }
    // The session gets a token of the server's own making: a token from the request could
    // have been chosen by whoever sent the administrator the link.
    OpenSession(GenerateRequestToken(app.Platform()));
    app.TouchSession();
    Page().SetStringVar("qa_lm_sm_name", app.Session().token);
    std::string problem;
    if (CheckConfiguration(problem, false, app.Platform())) {
        SetPageMessage(Page(), MessageKind::Info, kAdminBanner);
    } else {
        SetPageMessage(Page(), MessageKind::Error, problem);
    }
    app.LogCode(app.Event(), "LOGIN");
    app.RenderPage(kMainPage);
}

void BeginProtectedPage() {
    AdminApplication& app = App();
    if (!ServerInitialised()) {
        HandleInitBase();
    }
    if (!app.SessionLoaded()) {
        HandleLogin();
    }
    if (!app.CheckSession(false)) {
        ShowTimeoutLogin();
    }
    app.TouchSession();
}

void HandleMain() {
    BeginProtectedPage();
    App().RenderPage(kMainPage);
}

void HandleLogout() {
    AdminApplication& app = App();
    if (!ServerInitialised()) {
        HandleInitBase();
    }
    if (!app.SessionLoaded()) {
        HandleLogin();
    }
    const bool valid = app.CheckSession(false);
    app.DeleteSession();
    app.ForgetSession();
    app.LogCode(app.Event(), valid ? "LOGOUT" : "AUTOLOGOUT");
    HandleLogin();
}
