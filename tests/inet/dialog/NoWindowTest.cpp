// Where no window can be shown, both dialogs answer Cancel at once and leave their data alone:
// no display, or a host module that is missing or lacks its entry. (A display that nobody
// serves starts the toolkit, which the window tests try under Xvfb.)
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "inet/dialog/CredentialsDialog.h"
#include "inet/dialog/SettingsDialog.h"

namespace inet {
namespace {

// Sets the environment for one case and puts it back afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = getenv(name);
        had_ = old != nullptr;
        old_ = old ? old : "";
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (had_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    bool had_;
    std::string old_;
};

// The host module of this build.
std::string BuiltHostModule() {
    return QUAR_TEST_HOST_MODULE;
}

TEST(NoWindow, DialogsAnswerCancelAndTouchNothing) {
    const std::string host = BuiltHostModule();
    struct Case {
        const char* name;
        const char* display;
        const char* wayland;
        const char* module;
    } cases[] = {
        {"no display at all", nullptr, nullptr, host.c_str()},
        {"empty display names", "", "", host.c_str()},
        {"host module missing", ":0", nullptr, "/nonexistent/libquarinetgtk.so"},
        // A module without the host's entry point: the C library itself.
        {"host entry missing", ":0", nullptr, "libc.so.6"},
    };
    for (const Case& c : cases) {
        ScopedEnv display("DISPLAY", c.display);
        ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
        ScopedEnv module("QUAR_WINDOW_HOST_MODULE", c.module);

        QuarInetOptions options;
        options.UseIEsettings = 0;
        options.Proxy = 1;
        unsigned char before[sizeof options];
        memcpy(before, &options, sizeof options);
        EXPECT_EQ(ShowSettingsDialog(options, nullptr), DialogCancel) << c.name;
        EXPECT_EQ(memcmp(&options, before, sizeof options), 0) << c.name;

        char user[16] = "bob";
        char password[16] = "pw";
        EXPECT_EQ(ShowCredentialsDialog(nullptr, nullptr, user, sizeof user, password,
                                        sizeof password, nullptr),
                  DialogCancel)
            << c.name;
        EXPECT_STREQ(user, "bob") << c.name;
        EXPECT_STREQ(password, "pw") << c.name;
    }
}

TEST(NoWindow, CredentialsRefuseMissingBuffers) {
    char buffer[8] = "x";
    struct Case {
        char* user;
        size_t user_size;
        char* password;
        size_t password_size;
    } cases[] = {
        {nullptr, 8, buffer, 8},
        {buffer, 8, nullptr, 8},
        {buffer, 0, buffer, 8},
        {buffer, 8, buffer, 0},
    };
    // The arguments are refused before anything reads them.
    ScopedEnv display("DISPLAY", ":6999");
    ScopedEnv module("QUAR_WINDOW_HOST_MODULE", "/nonexistent/libquarinetgtk.so");
    for (const Case& c : cases) {
        EXPECT_EQ(ShowCredentialsDialog(nullptr, nullptr, c.user, c.user_size, c.password,
                                        c.password_size, nullptr),
                  DialogCancel);
        EXPECT_STREQ(buffer, "x");
    }
}

}  // namespace
}  // namespace inet
