// The rules of the connection settings dialog, without a window: which choice is selected,
// what the edit fields hold, which controls are enabled and whether OK may be pressed. Every
// action is written straight into the record the dialog was opened with.
#pragma once

#include <string>

#include "QuarInet.h"
#include "inet/dialog/DialogModel.h"

namespace inet {

class SettingsModel final : public DialogModel {
  public:
    // Control ids of the dialog.
    enum : int {
        IdUseIEsettings = 1000,
        IdUseProxy = 1001,
        IdDirect = 1002,
        IdProxyAuthorization = 1003,
        IdProxyAddress = 1004,
        IdProxyPort = 1005,
        IdProxyLog = 1006,
        IdProxyPwd = 1007
    };

    // Opens the dialog over `options`, which must outlive the model: selects the choice and
    // fills the fields from the record, takes the caption from DialogTitle when set, and applies
    // both rules.
    explicit SettingsModel(QuarInetOptions& options);

    const QuarDialogTemplate& Template() const override { return template_; }
    int Notify(int id, int notification, const char* text) override;
    bool Enabled(int id) const override;
    bool Checked(int id) const override;
    const char* Text(int id) const override;

  private:
    // Address, port and authentication are editable only with a proxy; user and password only
    // with a proxy that requires authentication.
    void ApplyEnablingRule();
    // OK needs, with a proxy, an address, a port and (when authentication is required) a user.
    void ApplyOkRule();
    void Select(int radio);

    QuarInetOptions& options_;
    QuarDialogTemplate template_;
    int selected_;
    bool authorizationChecked_;
    std::string address_, port_, user_, password_;
    bool proxyFieldsEnabled_ = false;
    bool credentialsEnabled_ = false;
    bool okEnabled_ = false;
};

}  // namespace inet
