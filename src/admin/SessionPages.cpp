#include "admin/SessionPages.h"

#include <ctime>
#include <optional>

#include "admin/AdminApplication.h"
#include "admin/Diagnostics.h"
#include "admin/FormFields.h"
#include "admin/LoginThrottle.h"
#include "admin/PageVariables.h"
#include "admin/PasswordHash.h"
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
    "The administrator password has been cleared. Please enter a new Administrator password; "
    "fields left empty keep their stored values.";

uint32_t Now(AdminApplication& app) {
    return static_cast<uint32_t>(app.Platform().Now());
}

// A field that is present replaces the setting; after a cleared password (keepStored) only a
// field that is not empty does, since the form did not show the stored values.
void CopyField(const HtxProcessor& page, const char* name, std::string& setting,
               bool keepStored = false) {
    if (HasFormField(page, name) && !(keepStored && FormText(page, name).empty())) {
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

// The addresses a login is counted under: the forwarded one (empty without a proxy) and the
// connecting one.
struct LoginClient {
    std::string forwarded;
    std::string connecting;
};

LoginClient ClientOf(AdminApplication& app) {
    if (app.ProxyAddress().empty()) {
        return {std::string(), app.ClientAddress()};
    }
    return {app.ClientAddress(), app.ProxyAddress()};
}

// A login from a client that guessed too often: no password is compared, and the page says
// when logins are taken again. Only the first refusal of a lock-out is logged, so that the
// guessing cannot fill the log.
Reply RefuseLockedOut(AdminApplication& app, const ThrottleVerdict& verdict) {
    if (verdict.firstOfWindow) {
        app.LogCode(app.Event(), "LOGIN_LOCKED");
    }
    const std::time_t now = app.Platform().Now();
    const long minutes = static_cast<long>((verdict.retryAt - now + 59) / 60);
    std::tm local{};
    char clock[16] = "";
    if (::localtime_r(&verdict.retryAt, &local) != nullptr) {
        std::strftime(clock, sizeof clock, "%H:%M", &local);
    }
    SetPageMessage(app.Processor(), MessageKind::Error,
                   "ERROR: Too many refused logins from your address. Logins from it are "
                   "refused until " +
                       std::string(clock) + " (in " + std::to_string(minutes) +
                       (minutes == 1 ? " minute" : " minutes") + "); please try again then.");
    return Reply::Page(kLoginPage);
}

// A password that an older version kept in plain text is stored hashed once it has been typed
// right. The login goes on when the store fails: the plain text still works, and the next login
// tries again.
void KeepPasswordHashed(AdminApplication& app, const std::string& typed) {
    ServerSettings& settings = app.Settings();
    if (IsPasswordHash(settings.adminPassword)) {
        return;
    }
    if (std::optional<std::string> hash = HashPassword(typed, app.Platform())) {
        ServerSettings hashed = settings;
        hashed.adminPassword = std::move(*hash);
        if (SaveServerSettings(hashed, app.DataDirectory(), app.Platform())) {
            settings = std::move(hashed);
        }
    }
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
        // Set up before, and the password cleared by the installer. Until a new password is
        // set anyone may see this form, so it shows none of the stored contact data; the
        // fields left empty keep their stored values.
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
    const bool keepStored = app.SettingsLoaded();
    CopyField(page, "compname", settings.companyName, keepStored);
    CopyField(page, "sysopname", settings.adminName, keepStored);
    CopyField(page, "sysoptel", settings.adminPhone, keepStored);
    CopyField(page, "sysopemail", settings.adminEmail, keepStored);
    CopyField(page, "pswd1", settings.adminPassword);
    if (const char* problem = SetupProblem(settings, FormText(page, "pswd2"))) {
        page.SetIntVar("isonwin", 1);
        SetPageMessage(page, MessageKind::Error, problem);
        return Reply::Page(kInitPage);
    }
    std::optional<std::string> hash = HashPassword(settings.adminPassword, app.Platform());
    if (!hash) {
        return app.RaiseCode(app.Event(), "ERR_WRITECFG");
    }
    settings.adminPassword = std::move(*hash);
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
    bool replacing = false;
    if (app.SessionLoaded()) {
        const AdminSession& session = app.Session();
        const bool active =
            SessionActive(session.lastActivity, app.Settings().inactivityTimeout, Now(app));
        if (active && !app.SessionClient()) {
            return app.RaiseCode(app.Event(), "LOGGET_OTHER");
        }
        if (active && session.token != app.RequestToken()) {
            // The same client without the session's token (a closed tab, another window):
            // its session is replaced once the password has been typed right.
            replacing = true;
        } else {
            app.DeleteSession();
            app.LogCode(app.Event(), "AUTOLOGOUT");
        }
    }
    if (!HasFormField(page, "passwd")) {
        SetPageMessage(page, MessageKind::Info, kPasswordPrompt);
        return Reply::Page(kLoginPage);
    }
    const LoginClient client = ClientOf(app);
    const ThrottleVerdict verdict = AdmitLogin(app.DataDirectory(), app.SessionFilePath(),
                                               client.forwarded, client.connecting, Now(app));
    if (verdict.outcome == ThrottleVerdict::Outcome::kFailed) {
        return app.RaiseCode(app.Event(), "ERR_WRITESF");
    }
    if (verdict.outcome == ThrottleVerdict::Outcome::kLockedOut) {
        return RefuseLockedOut(app, verdict);
    }
    const std::string typed = FormText(page, "passwd");
    if (!PasswordMatches(typed, app.Settings().adminPassword)) {
        return RefuseLogin(app);
    }
    ClearLogins(app.DataDirectory(), app.SessionFilePath(), client.forwarded, client.connecting,
                Now(app));
    KeepPasswordHashed(app, typed);
    if (replacing) {
        app.DeleteSession();
        app.LogCode(app.Event(), "LOGIN_REPLACED");
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
    if (!app.DeleteSession()) {
        // The session stays valid while its file is there: the administrator must know.
        return app.RaiseCode(app.Event(), "ERR_LOGOUT");
    }
    app.ForgetSession();
    app.LogCode(app.Event(), valid ? "LOGOUT" : "AUTOLOGOUT");
    return HandleLogin(app);
}
