#include "admin/OptionsPage.h"

#include <cstdint>
#include <limits>
#include <string>

#include "admin/AdminApplication.h"
#include "admin/FormDecimal.h"
#include "admin/PageVariables.h"
#include "admin/PasswordCompare.h"
#include "admin/SessionPages.h"
#include "htx/HtxProcessor.h"
#include "settings/SettingsStore.h"

namespace {

constexpr const char* kOptionsPage = "quar_options.htx";
constexpr std::size_t kMinPasswordLength = 4;
constexpr std::int64_t kSecondsPerMinute = 60;
// The longest time-out that still fits the stored seconds, in whole minutes.
constexpr std::int64_t kMaxTimeoutMinutes =
    std::numeric_limits<std::uint32_t>::max() / kSecondsPerMinute;

constexpr const char* kUpdatedMessage = "<FONT COLOR=\"#FF172E\" SIZE=+2>Options updated.</FONT>";
constexpr const char* kUpdatedEvent = "Options updated.";

HtxProcessor& Page() {
    return AdminApplication::Get().Processor();
}

// The stored values as the form shows them; the password fields stay empty.
void FillForm(const ServerSettings& settings) {
    HtxProcessor& page = Page();
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
void UpdateContact(const char* field, std::string& setting) {
    const std::string text = FormText(field);
    if (!text.empty() && text != setting) {
        setting = text;
    }
}

// The password rules: null when the submission may go on (the new password, if any, is then in
// `settings`), otherwise the refusal.
const char* UpdatePassword(ServerSettings& settings) {
    const std::string current = FormText("pswdold");
    const std::string first = FormText("pswd1");
    const std::string second = FormText("pswd2");
    const bool currentRight = SamePassword(current, settings.adminPassword);
    if (!current.empty() && !currentRight) {
        return "ERROR: Invalid password. Please reenter.";
    }
    if (currentRight) {
        if (first.size() < kMinPasswordLength || second != first) {
            return "ERROR: New passwords does not match. Please reenter.";
        }
        settings.adminPassword = first;
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
const char* ApplySubmission(ServerSettings& settings) {
    UpdateContact("sysopname", settings.adminName);
    UpdateContact("sysoptel", settings.adminPhone);
    UpdateContact("sysopemail", settings.adminEmail);
    if (settings.adminPhone.empty() && settings.adminEmail.empty()) {
        return "ERROR: Please enter Administrator telephone and/or e-mail.";
    }
    if (const char* refusal = UpdatePassword(settings)) {
        return refusal;
    }
    settings.inactivityTimeout = TimeoutSeconds(FormText("timeout"));
    settings.eventLogging = HasFormField("optn_log") ? 1 : 0;
    return nullptr;
}

}  // namespace

void HandleOptions() {
    BeginProtectedPage();
    AdminApplication& app = AdminApplication::Get();
    ServerSettings& settings = app.Settings();
    if (FormText("snd") != "Submit") {
        FillForm(settings);
        app.RenderPage(kOptionsPage);
    }
    if (const char* refusal = ApplySubmission(settings)) {
        // The request's own fields are the form's variables: the page shows what was typed.
        SetPageMessage(Page(), MessageKind::Error, refusal);
        app.RenderPage(kOptionsPage);
    }
    if (!SaveServerSettings(settings, app.DataDirectory(), app.Platform())) {
        app.RaiseCode(app.Event(), "ERR_WRITECFG");
    }
    FillForm(settings);
    SetPageMessage(Page(), MessageKind::Ok, kUpdatedMessage);
    EventRecord& event = app.Event();
    event.message = kUpdatedEvent;
    app.LogCode(event, "MESSAGE");
    event.message.clear();
    app.RenderPage(kOptionsPage);
}
