#include "admin/OptionsPage.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "admin/AdminApplication.h"
#include "admin/FormDecimal.h"
#include "admin/FormFields.h"
#include "admin/PageVariables.h"
#include "admin/PasswordHash.h"
#include "admin/PasswordRules.h"
#include "admin/SessionPages.h"
#include "htx/HtxProcessor.h"
#include "settings/SettingsStore.h"

namespace {

constexpr const char* kOptionsPage = "quar_options.htx";
constexpr std::int64_t kSecondsPerMinute = 60;
// The longest time-out that still fits the stored seconds, in whole minutes.
constexpr std::int64_t kMaxTimeoutMinutes =
    std::numeric_limits<std::uint32_t>::max() / kSecondsPerMinute;

constexpr const char* kUpdatedMessage = "<FONT COLOR=\"#FF172E\" SIZE=+2>Options updated.</FONT>";
constexpr const char* kUpdatedEvent = "Options updated.";
constexpr const char* kPasswordNotStored =
    "ERROR: The new password could not be stored. Please try again.";

// The stored values as the form shows them; the password fields stay empty.
void FillForm(HtxProcessor& page, const ServerSettings& settings) {
    page.SetStringVar("sysopname", settings.adminName);
    page.SetStringVar("sysoptel", settings.adminPhone);
    page.SetStringVar("sysopemail", settings.adminEmail);
    page.SetStringVar("pswdold", "");
    page.SetStringVar("pswd1", "");
    page.SetStringVar("pswd2", "");
    page.SetIntVar("timeout",
                   static_cast<std::int32_t>(settings.inactivityTimeout / kSecondsPerMinute));
    if (settings.eventLogging == 1) {
        page.SetStringVar("optn_log_checked", "CHECKED=\"true\"");
    }
}

// A contact field is replaced only by a non-empty text: this page cannot empty it.
void UpdateContact(const HtxProcessor& page, const char* field, std::string& setting) {
    const std::string text = FormText(page, field);
    if (!text.empty() && text != setting) {
        setting = text;
    }
}

// The password rules: null when the submission may go on (the new password, if any, is then in
// `settings`), otherwise the refusal.
const char* UpdatePassword(const HtxProcessor& page, ServerSettings& settings, Env& env) {
    const std::string current = FormText(page, "pswdold");
    const std::string first = FormText(page, "pswd1");
    const std::string second = FormText(page, "pswd2");
    const bool currentRight = PasswordMatches(current, settings.adminPassword);
    if (!current.empty() && !currentRight) {
        return kPasswordInvalid;
    }
    if (currentRight) {
        if (!LongEnoughPassword(first) || second != first) {
            return kPasswordsDiffer;
        }
        std::optional<std::string> hash = HashPassword(first, env);
        if (!hash) {
            return kPasswordNotStored;
        }
        settings.adminPassword = std::move(*hash);
        return nullptr;
    }
    if (!first.empty() || !second.empty()) {
        return "ERROR: To change password you need to enter your current password.";
    }
    return nullptr;
}

// Minutes as typed, stored in seconds. A negative entry means no time-out like 0 does, and
// an entry too large for the stored seconds is cut to the largest that fits, rather than
// wrapping to some short time-out.
std::uint32_t TimeoutSeconds(const std::string& minutes) {
    std::int64_t value = FormDecimal(minutes);
    if (value < 0) {
        value = 0;
    }
    if (value > kMaxTimeoutMinutes) {
        value = kMaxTimeoutMinutes;
    }
    return static_cast<std::uint32_t>(value * kSecondsPerMinute);
}

// The checks of a submitted form, applied to `settings` in memory; null when all pass.
const char* ApplySubmission(const HtxProcessor& page, ServerSettings& settings, Env& env) {
    UpdateContact(page, "sysopname", settings.adminName);
    UpdateContact(page, "sysoptel", settings.adminPhone);
    UpdateContact(page, "sysopemail", settings.adminEmail);
    if (settings.adminPhone.empty() && settings.adminEmail.empty()) {
        return "ERROR: Please enter Administrator telephone and/or e-mail.";
    }
    if (const char* refusal = UpdatePassword(page, settings, env)) {
        return refusal;
    }
    settings.inactivityTimeout = TimeoutSeconds(FormText(page, "timeout"));
    settings.eventLogging = HasFormField(page, "optn_log") ? 1 : 0;
    return nullptr;
}

}  // namespace

Reply HandleOptions(AdminApplication& app) {
    if (std::optional<Reply> other = BeginProtectedPage(app)) {
        return std::move(*other);
    }
    HtxProcessor& page = app.Processor();
    ServerSettings& settings = app.Settings();
    if (FormText(page, "snd") != "Submit") {
        FillForm(page, settings);
        return Reply::Page(kOptionsPage);
    }
    if (const char* refusal = ApplySubmission(page, settings, app.Platform())) {
        // The request's own fields are the form's variables: the page shows what was typed.
        SetPageMessage(page, MessageKind::Error, refusal);
        return Reply::Page(kOptionsPage);
    }
    if (!SaveServerSettings(settings, app.DataDirectory(), app.Platform())) {
        return app.RaiseCode(app.Event(), "ERR_WRITECFG");
    }
    FillForm(page, settings);
    SetPageMessage(page, MessageKind::Ok, kUpdatedMessage);
    EventRecord& event = app.Event();
    event.message = kUpdatedEvent;
    app.LogCode(event, "MESSAGE");
    event.message.clear();
    return Reply::Page(kOptionsPage);
}
