// The credentials dialog's rules: the caller's texts fill the fields, and the caller's buffers
// change only on OK, never beyond their size.
#include "inet/dialog/CredentialsModel.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "inet/dialog/DialogResult.h"

namespace inet {
namespace {

using C = CredentialsModel;

TEST(CredentialsModel, ButtonsDecideWhatReachesTheCallersBuffers) {
    struct Case {
        const char* name;
        std::string typed_user;
        std::string typed_password;
        int button;
        int result;
        std::string user;  // the buffers afterwards (8 bytes each)
        std::string password;
    } cases[] = {
        {"OK stores both", "carol", "pa ss", DialogOk, DialogOk, "carol", "pa ss"},
        {"OK stores empty texts", "", "", DialogOk, DialogOk, "", ""},
        {"OK cuts to the buffer", "abcdefghij", "0123456789", DialogOk, DialogOk, "abcdefg",
         "0123456"},
        {"OK never cuts a character in half", "abcdef\xc3\xa9", "x", DialogOk, DialogOk, "abcdef",
         "x"},
        {"Cancel leaves the buffers", "carol", "pa ss", DialogCancel, DialogCancel, "bob", "old"},
        {"another control ends nothing", "carol", "pa ss", C::IdPrompt, 0, "bob", "old"},
    };
    for (const Case& c : cases) {
        char user[8] = "bob";
        char password[8] = "old";
        C model(nullptr, "Proxy p:8080", user, sizeof user, password, sizeof password);
        EXPECT_EQ(model.Notify(C::IdUser, QuarEditChange, c.typed_user.c_str()), 0) << c.name;
        EXPECT_EQ(model.Notify(C::IdPassword, QuarEditFocus, c.typed_password.c_str()), 0)
            << c.name;
        // Typing alone never touches the caller's buffers.
        EXPECT_STREQ(user, "bob") << c.name;
        EXPECT_EQ(model.Notify(c.button, QuarClicked, nullptr), c.result) << c.name;
        EXPECT_EQ(user, c.user) << c.name;
        EXPECT_EQ(password, c.password) << c.name;
    }
}

TEST(CredentialsModel, OpensWithTheCallersTextsAndLimits) {
    char user[16] = "bob";
    // Not terminated within its size: read no further than the buffer.
    char password[4] = {'a', 'b', 'c', 'd'};
    C model("Sign in", nullptr, user, sizeof user, password, sizeof password);
    EXPECT_STREQ(model.Text(C::IdUser), "bob");
    EXPECT_STREQ(model.Text(C::IdPassword), "abcd");
    EXPECT_STREQ(model.Template().caption, "Sign in");
    int user_limit = -1;
    int password_limit = -1;
    for (int i = 0; i < model.Template().count; ++i) {
        const QuarDialogControl& control = model.Template().controls[i];
        if (control.id == C::IdUser) {
            user_limit = control.limit;
        } else if (control.id == C::IdPassword) {
            password_limit = control.limit;
            EXPECT_TRUE(control.style & QuarPassword);
        } else if (control.id == C::IdPrompt) {
            EXPECT_STREQ(control.text, "");
        }
    }
    EXPECT_EQ(user_limit, 15);
    EXPECT_EQ(password_limit, 3);
    EXPECT_STREQ(C(nullptr, nullptr, user, sizeof user, user, sizeof user).Template().caption,
                 "Enter Network Password");
}

}  // namespace
}  // namespace inet
