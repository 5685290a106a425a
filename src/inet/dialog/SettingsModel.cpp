// The settings dialog's rules: each choice and each keystroke goes into the record at once, and
// the rules decide afterwards what may be edited and whether OK may end the dialog.
#include "inet/dialog/SettingsModel.h"

#include <cstdio>
#include <cstring>

#include "inet/dialog/DialogResult.h"
#include "inet/dialog/EditText.h"
#include "inet/dialog/SettingsTemplate.h"

namespace inet {
namespace {

std::string PortText(unsigned port) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", port);
    return text;
}

// A record's text, read no further than its field even when its NUL is missing.
std::string FieldText(const char (&field)[QuarInetOptions::TextSize]) {
    return std::string(field, strnlen(field, sizeof field));
}

}  // namespace

SettingsModel::SettingsModel(QuarInetOptions& options)
    : options_(options),
      template_(SettingsTemplate()),
      selected_(options.UseIEsettings ? IdUseIEsettings
                : options.Proxy       ? IdUseProxy
                                      : IdDirect),
      authorizationChecked_(options.ProxyAuthorization != 0),
      address_(FieldText(options.ProxyAddress)),
      port_(PortText(options.ProxyPort)),
      user_(FieldText(options.ProxyLog)),
      password_(FieldText(options.ProxyPwd)) {
    if (options.DialogTitle) {
        template_.caption = options.DialogTitle;
    }
    ApplyEnablingRule();
    ApplyOkRule();
}

int SettingsModel::Notify(int id, int notification, const char* text) {
    switch (id) {
        case IdUseIEsettings:
        case IdUseProxy:
        case IdDirect:
            if (notification == QuarClicked) {
                Select(id);
                ApplyEnablingRule();
                ApplyOkRule();
            }
            return 0;
        case IdProxyAuthorization:
            if (notification == QuarClicked) {
                authorizationChecked_ = !authorizationChecked_;
                options_.ProxyAuthorization = authorizationChecked_ ? 1 : 0;
                ApplyEnablingRule();
                ApplyOkRule();
            }
            return 0;
        case IdProxyAddress:
        case IdProxyLog: {
            if (notification == QuarClicked) {
                return 0;
            }
            (id == IdProxyAddress ? address_ : user_) = text ? text : "";
            char* member = id == IdProxyAddress ? options_.ProxyAddress : options_.ProxyLog;
            CopyFieldText(member, QuarInetOptions::TextSize, text);
            if (notification == QuarEditChange) {
                ApplyOkRule();
            }
            return 0;
        }
        case IdProxyPort:
            if (notification == QuarEditChange) {
                port_ = text ? text : "";
                options_.ProxyPort = ParseFieldNumber(text);
                ApplyOkRule();
            }
            return 0;
        case IdProxyPwd:
            if (notification != QuarClicked) {
                password_ = text ? text : "";
                CopyFieldText(options_.ProxyPwd, QuarInetOptions::TextSize, text);
            }
            return 0;
        case DialogOk:
            // A disabled OK cannot end the dialog, whatever reaches the model.
            return notification == QuarClicked && okEnabled_ ? DialogOk : 0;
        case DialogCancel:
            return notification == QuarClicked ? DialogCancel : 0;
        default:
            return 0;
    }
}

bool SettingsModel::Enabled(int id) const {
    switch (id) {
        case IdProxyAddress:
        case IdProxyPort:
        case IdProxyAuthorization:
            return proxyFieldsEnabled_;
        case IdProxyLog:
        case IdProxyPwd:
            return credentialsEnabled_;
        case DialogOk:
            return okEnabled_;
        default:
            return true;
    }
}

bool SettingsModel::Checked(int id) const {
    if (id == IdProxyAuthorization) {
        return authorizationChecked_;
    }
    return id == selected_;
}

const char* SettingsModel::Text(int id) const {
    switch (id) {
        case IdProxyAddress:
            return address_.c_str();
        case IdProxyPort:
            return port_.c_str();
        case IdProxyLog:
            return user_.c_str();
        case IdProxyPwd:
            return password_.c_str();
        default:
            return "";
    }
}

void SettingsModel::ApplyEnablingRule() {
    proxyFieldsEnabled_ = options_.Proxy != 0;
    credentialsEnabled_ = options_.Proxy != 0 && options_.ProxyAuthorization != 0;
}

void SettingsModel::ApplyOkRule() {
    if (options_.UseIEsettings || !options_.Proxy) {
        okEnabled_ = true;
        return;
    }
    okEnabled_ = options_.ProxyAddress[0] != '\0' && options_.ProxyPort != 0 &&
                 (!options_.ProxyAuthorization || options_.ProxyLog[0] != '\0');
}

void SettingsModel::Select(int radio) {
    selected_ = radio;
    options_.UseIEsettings = radio == IdUseIEsettings ? 1 : 0;
    options_.Proxy = radio == IdUseProxy ? 1 : 0;
}

}  // namespace inet
