// The credentials dialog: a prompt line naming who asks, the user name and password fields and
// the two buttons.
#include "inet/dialog/CredentialsModel.h"

#include <cstring>

#include <algorithm>

#include "inet/dialog/DialogResult.h"
#include "inet/dialog/EditText.h"

namespace inet {
namespace {

constexpr const char* kCredentialsCaption = "Enter Network Password";

// An edit field takes no more characters than its buffer has bytes without the NUL.
int LimitFor(size_t size) {
    constexpr size_t kMaxLimit = 65535;
    return static_cast<int>(std::min(size - 1, kMaxLimit));
}

}  // namespace

CredentialsModel::CredentialsModel(const char* caption, const char* prompt, char* user,
                                   size_t userSize, char* password, size_t passwordSize)
    : controls_{{IdPrompt, QuarLabel, prompt ? prompt : "", 7, 7, 206, 16, 0, 0},
                {-1, QuarLabel, "&User name:", 7, 31, 44, 8, 0, 0},
                {IdUser, QuarEdit, "", 56, 28, 157, 14, QuarTabStop | QuarAutoHScroll,
                 LimitFor(userSize)},
                {-1, QuarLabel, "&Password:", 7, 49, 44, 8, 0, 0},
                {IdPassword, QuarEdit, "", 56, 46, 157, 14,
                 QuarTabStop | QuarAutoHScroll | QuarPassword, LimitFor(passwordSize)},
                {DialogOk, QuarPushButton, "OK", 109, 68, 50, 14, QuarTabStop | QuarDefault, 0},
                {DialogCancel, QuarPushButton, "Cancel", 163, 68, 50, 14, QuarTabStop, 0}},
      template_{caption ? caption : kCredentialsCaption,
                "MS Sans Serif",
                8,
                220,
                89,
                static_cast<int>(sizeof controls_ / sizeof controls_[0]),
                controls_},
      userOut_(user),
      userSize_(userSize),
      passwordOut_(password),
      passwordSize_(passwordSize),
      user_(user, strnlen(user, userSize)),
      password_(password, strnlen(password, passwordSize)) {}

int CredentialsModel::Notify(int id, int notification, const char* text) {
    if (notification != QuarClicked) {
        if (id == IdUser) {
            user_ = text ? text : "";
        } else if (id == IdPassword) {
            password_ = text ? text : "";
        }
        return 0;
    }
    if (id == DialogOk) {
        CopyFieldText(userOut_, userSize_, user_.c_str());
        CopyFieldText(passwordOut_, passwordSize_, password_.c_str());
        return DialogOk;
    }
    return id == DialogCancel ? DialogCancel : 0;
}

const char* CredentialsModel::Text(int id) const {
    if (id == IdUser) {
        return user_.c_str();
    }
    return id == IdPassword ? password_.c_str() : "";
}

}  // namespace inet
