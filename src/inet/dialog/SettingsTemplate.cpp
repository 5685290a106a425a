// The connection settings dialog as its users know it: three choices of how to connect, the
// proxy's address and port, and its credentials.
#include "inet/dialog/SettingsTemplate.h"

#include "inet/dialog/DialogResult.h"
#include "inet/dialog/SettingsModel.h"

namespace inet {
namespace {

// Longest text that fits a record's field with its NUL.
constexpr int kFieldLimit = QuarInetOptions::TextSize - 1;

const QuarDialogControl kControls[] = {
    {SettingsModel::IdUseIEsettings, QuarRadioButton, "Use Internet &Explorer settings", 7, 7, 189,
     10, QuarGroup | QuarTabStop, 0},
    {SettingsModel::IdDirect, QuarRadioButton, "Direct connection", 7, 27, 127, 10, 0, 0},
    {SettingsModel::IdUseProxy, QuarRadioButton, "Use proxy server", 7, 50, 182, 10, 0, 0},
    {-1, QuarLabel, "Proxy server:", 25, 71, 42, 8, 0, 0},
    {SettingsModel::IdProxyAddress, QuarEdit, "", 72, 68, 134, 14, QuarTabStop | QuarAutoHScroll,
     kFieldLimit},
    {-1, QuarLabel, "Port:", 210, 71, 16, 8, 0, 0},
    {SettingsModel::IdProxyPort, QuarEdit, "", 229, 68, 29, 14, QuarTabStop | QuarDigitsOnly,
     kFieldLimit},
    {SettingsModel::IdProxyAuthorization, QuarCheckBox, "Proxy requires authentication", 24, 91,
     107, 10, QuarTabStop, 0},
    {-1, QuarLabel, "User:", 42, 109, 18, 8, 0, 0},
    {SettingsModel::IdProxyLog, QuarEdit, "", 82, 106, 74, 14, QuarTabStop, kFieldLimit},
    {-1, QuarLabel, "Password:", 42, 126, 34, 8, 0, 0},
    {SettingsModel::IdProxyPwd, QuarEdit, "", 82, 123, 74, 14, QuarTabStop | QuarPassword,
     kFieldLimit},
    {DialogOk, QuarPushButton, "OK", 268, 7, 50, 14, QuarTabStop | QuarDefault, 0},
    {DialogCancel, QuarPushButton, "Cancel", 268, 24, 50, 14, QuarTabStop, 0},
};

}  // namespace

const char* const kSettingsCaption = "Internet Connection";

const QuarDialogTemplate& SettingsTemplate() {
    static const QuarDialogTemplate dialog = {
        kSettingsCaption,
        "MS Sans Serif",
        8,
        325,
        148,
        static_cast<int>(sizeof kControls / sizeof kControls[0]),
        kControls};
    return dialog;
}

}  // namespace inet
