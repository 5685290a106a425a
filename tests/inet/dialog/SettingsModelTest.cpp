// The settings dialog's rules, driven without a window through the notifications the window
// sends: what each action writes into the record, what it enables, and when OK may end.
#include "inet/dialog/SettingsModel.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "inet/dialog/CredentialsModel.h"
#include "inet/dialog/DialogResult.h"

namespace inet {
namespace {

using M = SettingsModel;

struct Step {
    int id;
    int notification;
    std::string text;
};
Step Click(int id) {
    return {id, QuarClicked, ""};
}
Step Change(int id, std::string text) {
    return {id, QuarEditChange, std::move(text)};
}
Step Focus(int id, std::string text) {
    return {id, QuarEditFocus, std::move(text)};
}

// The record and the window state after a run.
struct State {
    int use_ie;
    int proxy;
    std::string address;
    unsigned port;
    int authorization;
    std::string user;
    std::string password;
    bool ok;
    bool proxy_fields;  // address, port, authentication check box
    bool credentials;   // user, password
    bool operator==(const State& o) const {
        return use_ie == o.use_ie && proxy == o.proxy && address == o.address && port == o.port &&
               authorization == o.authorization && user == o.user && password == o.password &&
               ok == o.ok && proxy_fields == o.proxy_fields && credentials == o.credentials;
    }
};

void PrintTo(const State& s, std::ostream* out) {
    *out << "record " << s.use_ie << "|" << s.proxy << "|" << s.address << "|" << s.port << "|"
         << s.authorization << "|" << s.user << "|" << s.password << ", enabled: OK " << s.ok
         << ", proxy fields " << s.proxy_fields << ", credentials " << s.credentials;
}

State Observe(const QuarInetOptions& options, const SettingsModel& model) {
    for (int id : {M::IdProxyAddress, M::IdProxyPort, M::IdProxyAuthorization}) {
        EXPECT_EQ(model.Enabled(id), model.Enabled(M::IdProxyAddress)) << "control " << id;
    }
    EXPECT_EQ(model.Enabled(M::IdProxyPwd), model.Enabled(M::IdProxyLog));
    EXPECT_EQ(model.Checked(M::IdProxyAuthorization), options.ProxyAuthorization != 0);
    return {options.UseIEsettings,
            options.Proxy,
            options.ProxyAddress,
            options.ProxyPort,
            options.ProxyAuthorization,
            options.ProxyLog,
            options.ProxyPwd,
            model.Enabled(DialogOk),
            model.Enabled(M::IdProxyAddress),
            model.Enabled(M::IdProxyLog)};
}

TEST(SettingsModel, ActionsWriteTheRecordAndApplyTheRules) {
    const std::string long_address(300, 'p');
    const Step proxy = Click(M::IdUseProxy);
    const Step address = Change(M::IdProxyAddress, "127.0.0.1");
    const Step require = Click(M::IdProxyAuthorization);
    struct Case {
        const char* name;
        std::vector<Step> steps;
        State expected;
    } cases[] = {
        {"fresh record: browser settings", {}, {1, 0, "", 80, 0, "", "", true, false, false}},
        {"proxy with an empty address disables OK",
         {proxy},
         {0, 1, "", 80, 0, "", "", false, true, false}},
        {"an address with the default port enables OK",
         {proxy, address},
         {0, 1, "127.0.0.1", 80, 0, "", "", true, true, false}},
        {"address and a typed port enable OK",
         {proxy, Change(M::IdProxyPort, ""), address, Change(M::IdProxyPort, "3128")},
         {0, 1, "127.0.0.1", 3128, 0, "", "", true, true, false}},
        {"an empty port is 0 and disables OK",
         {proxy, address, Change(M::IdProxyPort, "")},
         {0, 1, "127.0.0.1", 0, 0, "", "", false, true, false}},
        {"a port that is not a number becomes 0",
         {proxy, address, Change(M::IdProxyPort, "31x")},
         {0, 1, "127.0.0.1", 0, 0, "", "", false, true, false}},
        {"requiring authentication disables OK",
         {proxy, address, require},
         {0, 1, "127.0.0.1", 80, 1, "", "", false, true, true}},
        {"a user name enables OK again",
         {proxy, address, require, Change(M::IdProxyLog, "alice")},
         {0, 1, "127.0.0.1", 80, 1, "alice", "", true, true, true}},
        {"a password alone does not, and the password may stay empty",
         {proxy, address, require, Change(M::IdProxyPwd, "s3cret")},
         {0, 1, "127.0.0.1", 80, 1, "", "s3cret", false, true, true}},
        {"erasing the user name disables OK",
         {proxy, address, require, Change(M::IdProxyLog, "alice"), Change(M::IdProxyLog, "")},
         {0, 1, "127.0.0.1", 80, 1, "", "", false, true, true}},
        {"clearing the check box enables OK and keeps the user",
         {proxy, address, require, Change(M::IdProxyLog, "al"), require},
         {0, 1, "127.0.0.1", 80, 0, "al", "", true, true, false}},
        {"direct connection needs nothing else",
         {Click(M::IdDirect)},
         {0, 0, "", 80, 0, "", "", true, false, false}},
        {"direct connection after an incomplete proxy",
         {proxy, require, Click(M::IdDirect)},
         {0, 0, "", 80, 1, "", "", true, false, false}},
        {"browser settings clear the proxy choice",
         {proxy, Click(M::IdUseIEsettings)},
         {1, 0, "", 80, 0, "", "", true, false, false}},
        // Other notifications copy the text, only a change applies the OK rule.
        {"address copied on focus, OK rule waits for a change",
         {proxy, Focus(M::IdProxyAddress, "host")},
         {0, 1, "host", 80, 0, "", "", false, true, false}},
        {"the change that follows enables OK",
         {proxy, Focus(M::IdProxyAddress, "host"), Change(M::IdProxyAddress, "host")},
         {0, 1, "host", 80, 0, "", "", true, true, false}},
        {"user copied on focus, OK rule waits for a change",
         {proxy, address, require, Focus(M::IdProxyLog, "bob")},
         {0, 1, "127.0.0.1", 80, 1, "bob", "", false, true, true}},
        {"port read only on a change",
         {proxy, address, Focus(M::IdProxyPort, "99")},
         {0, 1, "127.0.0.1", 80, 0, "", "", true, true, false}},
        {"password copied on focus too",
         {Focus(M::IdProxyPwd, "pw")},
         {1, 0, "", 80, 0, "", "pw", true, false, false}},
        {"address cut to 259 characters",
         {proxy, Change(M::IdProxyAddress, long_address)},
         {0, 1, long_address.substr(0, 259), 80, 0, "", "", true, true, false}},
    };
    for (const Case& c : cases) {
        QuarInetOptions options;
        SettingsModel model(options);
        for (const Step& step : c.steps) {
            EXPECT_EQ(model.Notify(step.id, step.notification, step.text.c_str()), 0) << c.name;
        }
        EXPECT_EQ(Observe(options, model), c.expected) << c.name;
    }
}

TEST(SettingsModel, OpensWithTheRecordsChoiceFieldsAndRules) {
    struct Case {
        const char* name;
        int use_ie, proxy;
        const char* address;
        unsigned port;
        int authorization;
        const char* user;
        int selected;
        const char* port_text;
        bool ok, proxy_fields, credentials;
    } cases[] = {
        {"browser settings", 1, 0, "", 80, 0, "", M::IdUseIEsettings, "80", true, false, false},
        {"browser settings win over a set proxy flag", 1, 1, "", 80, 0, "", M::IdUseIEsettings,
         "80", true, true, false},
        {"direct", 0, 0, "", 80, 1, "", M::IdDirect, "80", true, false, false},
        {"proxy without an address", 0, 1, "", 80, 0, "", M::IdUseProxy, "80", false, true, false},
        {"proxy with port 0", 0, 1, "p", 0, 0, "", M::IdUseProxy, "0", false, true, false},
        {"proxy needing a user", 0, 1, "p", 8080, 1, "", M::IdUseProxy, "8080", false, true, true},
        {"complete proxy", 0, 1, "p", 4294967295u, 1, "u", M::IdUseProxy, "4294967295", true, true,
         true},
    };
    for (const Case& c : cases) {
        QuarInetOptions options;
        options.UseIEsettings = c.use_ie;
        options.Proxy = c.proxy;
        snprintf(options.ProxyAddress, sizeof options.ProxyAddress, "%s", c.address);
        options.ProxyPort = c.port;
        options.ProxyAuthorization = c.authorization;
        snprintf(options.ProxyLog, sizeof options.ProxyLog, "%s", c.user);
        snprintf(options.ProxyPwd, sizeof options.ProxyPwd, "pw");
        unsigned char before[sizeof options];
        memcpy(before, &options, sizeof options);
        SettingsModel model(options);
        for (int radio : {M::IdUseIEsettings, M::IdUseProxy, M::IdDirect}) {
            EXPECT_EQ(model.Checked(radio), radio == c.selected) << c.name << " radio " << radio;
        }
        EXPECT_EQ(model.Checked(M::IdProxyAuthorization), c.authorization != 0) << c.name;
        EXPECT_STREQ(model.Text(M::IdProxyAddress), c.address) << c.name;
        EXPECT_STREQ(model.Text(M::IdProxyPort), c.port_text) << c.name;
        EXPECT_STREQ(model.Text(M::IdProxyLog), c.user) << c.name;
        EXPECT_STREQ(model.Text(M::IdProxyPwd), "pw") << c.name;
        EXPECT_EQ(model.Enabled(DialogOk), c.ok) << c.name;
        EXPECT_EQ(model.Enabled(M::IdProxyAddress), c.proxy_fields) << c.name;
        EXPECT_EQ(model.Enabled(M::IdProxyLog), c.credentials) << c.name;
        // Opening reads the record, it does not write it.
        EXPECT_EQ(memcmp(&options, before, sizeof options), 0) << c.name;
    }
}

TEST(SettingsModel, CaptionComesFromTheRecordElseTheDefault) {
    QuarInetOptions options;
    EXPECT_STREQ(SettingsModel(options).Template().caption, "Internet Connection");
    options.DialogTitle = "Quar Proxy Settings";
    EXPECT_STREQ(SettingsModel(options).Template().caption, "Quar Proxy Settings");
}

TEST(SettingsModel, OnlyAnEnabledOkOrCancelEndsTheDialog) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
        Step last;
        int result;
    } cases[] = {
        {"OK with browser settings", {}, Click(DialogOk), DialogOk},
        {"Cancel", {}, Click(DialogCancel), DialogCancel},
        {"Cancel while OK is disabled", {Click(M::IdUseProxy)}, Click(DialogCancel), DialogCancel},
        {"a disabled OK does nothing", {Click(M::IdUseProxy)}, Click(DialogOk), 0},
        {"OK once the proxy is complete",
         {Click(M::IdUseProxy), Change(M::IdProxyAddress, "p")},
         Click(DialogOk),
         DialogOk},
        {"an edit's notification ends nothing", {}, Change(M::IdProxyAddress, "p"), 0},
    };
    for (const Case& c : cases) {
        QuarInetOptions options;
        SettingsModel model(options);
        for (const Step& step : c.steps) {
            model.Notify(step.id, step.notification, step.text.c_str());
        }
        EXPECT_EQ(model.Notify(c.last.id, c.last.notification, c.last.text.c_str()), c.result)
            << c.name;
    }
}

TEST(SettingsModel, EveryControlTheModelAddressesIsInTheTemplateOnce) {
    QuarInetOptions options;
    SettingsModel model(options);
    const QuarDialogTemplate& dialog = model.Template();
    const int ids[] = {M::IdUseIEsettings, M::IdUseProxy,  M::IdDirect,   M::IdProxyAuthorization,
                       M::IdProxyAddress,  M::IdProxyPort, M::IdProxyLog, M::IdProxyPwd,
                       DialogOk,           DialogCancel};
    for (int id : ids) {
        int found = 0;
        for (int i = 0; i < dialog.count; ++i) {
            found += dialog.controls[i].id == id;
        }
        EXPECT_EQ(found, 1) << "control " << id;
    }
}

// A label that names an edit field stands on the field's text line (3 dialog units below the
// field's top, as "Proxy server:" does), in the settings and the credentials dialogs alike.
TEST(SettingsModel, LabelsStandOnTheLineOfTheirFields) {
    QuarInetOptions options;
    SettingsModel settings(options);
    char user[8] = "", password[8] = "";
    CredentialsModel credentials(nullptr, nullptr, user, sizeof user, password, sizeof password);
    for (const QuarDialogTemplate* dialog : {&settings.Template(), &credentials.Template()}) {
        int labels = 0;
        for (int i = 0; i + 1 < dialog->count; ++i) {
            const QuarDialogControl& label = dialog->controls[i];
            const QuarDialogControl& field = dialog->controls[i + 1];
            if (label.kind == QuarLabel && field.kind == QuarEdit) {
                ++labels;
                EXPECT_EQ(label.y, field.y + 3) << dialog->caption << ": " << label.text;
            }
        }
        EXPECT_GE(labels, 2) << dialog->caption;
    }
}

}  // namespace
}  // namespace inet
