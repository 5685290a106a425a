// The options page of quarnbxadmin run as a web server runs it: what it shows, which
// submissions it refuses (and that those save nothing), and what an accepted one stores and
// logs.
#include <string>
#include <vector>

#include "AdminPageFixture.h"
#include "admin/PasswordHash.h"

namespace {

class OptionsPage : public AdminPageFixture {
  protected:
    OptionsPage() {
        site_.dir().Write("cgi/quar_options.htx",
                          "OPTIONS[<%err_msg%>]<%sysopname%>|<%sysoptel%>|<%sysopemail%>|"
                          "<%pswdold%>|<%pswd1%>|<%pswd2%>|<%timeout%>|<%optn_log_checked%>");
        site_.dir().Write("cgi/quar_nbx_mess.def", "=CATEGORY Configuration\nMESSAGE %m\n");
    }

    std::string Options(const std::string& body = "") { return Page("options", body); }
};

const std::string kUpdated = "OPTIONS[<FONT COLOR=\"#FF172E\" SIZE=+2>Options updated.</FONT>]";

}  // namespace

TEST_F(OptionsPage, ShowsTheStoredValuesWithoutSubmit) {
    Initialise([](ServerSettings& s) { s.adminEmail = "jo@acme"; });
    LogIn();
    const std::string settings = site_.Data("quar_settings.dat");
    const std::string shown = "OPTIONS[]Jo|555|jo@acme||||10|CHECKED=\"true\"";
    EXPECT_EQ(Options(), shown);
    EXPECT_EQ(Options("snd=Cancel&sysopname=Other&timeout=99"), shown);
    EXPECT_EQ(Options("snd=submit&sysopname=Other"), shown);  // only "Submit" applies
    EXPECT_EQ(site_.Data("quar_settings.dat"), settings);
    EXPECT_TRUE(EventLines().empty());

    // With logging off the check box variable is not set at all.
    Initialise([](ServerSettings& s) {
        s.eventLogging = 0;
        s.inactivityTimeout = 119;
    });
    EXPECT_EQ(Options(), "OPTIONS[]Jo|555|||||1|");
}

TEST_F(OptionsPage, RefusedSubmissionsSaveNothingAndShowWhatWasTyped) {
    Initialise();
    LogIn();
    const std::string settings = site_.Data("quar_settings.dat");
    struct Case {
        std::string body;
        std::string page;
    };
    const std::vector<Case> cases = {
        {"snd=Submit&sysopname=New&pswdold=wrong&timeout=7&optn_log=1",
         "OPTIONS[ERROR: Invalid password. Please reenter.]New|||wrong|||7|"},
        {"snd=Submit&pswdold=secret&pswd1=abc&pswd2=abc",
         "OPTIONS[ERROR: New passwords does not match. Please reenter.]|||secret|abc|abc||"},
        {"snd=Submit&pswdold=secret&pswd1=abcd&pswd2=abce",
         "OPTIONS[ERROR: New passwords does not match. Please reenter.]|||secret|abcd|abce||"},
        {"snd=Submit&pswdold=secret&timeout=5",
         "OPTIONS[ERROR: New passwords does not match. Please reenter.]|||secret|||5|"},
        {"snd=Submit&pswd1=newpass&pswd2=newpass",
         "OPTIONS[ERROR: To change password you need to enter your current password.]||||"
         "newpass|newpass||"},
        {"snd=Submit&pswd2=x",
         "OPTIONS[ERROR: To change password you need to enter your current password.]|||||x||"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Options(c.body), c.page) << c.body;
        EXPECT_EQ(site_.Data("quar_settings.dat"), settings) << c.body;
    }
    EXPECT_TRUE(EventLines().empty());
    // The stored values are as before.
    EXPECT_EQ(Options(), "OPTIONS[]Jo|555|||||10|CHECKED=\"true\"");
}

TEST_F(OptionsPage, ContactIsNeededAndCannotBeEmptiedHere) {
    Initialise([](ServerSettings& s) {
        s.adminPhone.clear();
        s.adminEmail.clear();
    });
    LogIn();
    const std::string settings = site_.Data("quar_settings.dat");
    EXPECT_EQ(Options("snd=Submit&sysopname=Max&sysoptel=&sysopemail="),
              "OPTIONS[ERROR: Please enter Administrator telephone and/or e-mail.]Max|||||||");
    EXPECT_EQ(site_.Data("quar_settings.dat"), settings);

    // An e-mail alone is enough; empty fields keep what is stored.
    EXPECT_EQ(Options("snd=Submit&sysopemail=max%40acme&timeout=10&optn_log=on"),
              kUpdated + "Jo||max@acme||||10|CHECKED=\"true\"");
    EXPECT_EQ(Options("snd=Submit&sysopname=&sysoptel=&sysopemail=&timeout=10&optn_log=on"),
              kUpdated + "Jo||max@acme||||10|CHECKED=\"true\"");
    EXPECT_EQ(Stored().adminEmail, "max@acme");
    EXPECT_EQ(Stored().adminName, "Jo");
}

TEST_F(OptionsPage, AcceptedSubmissionIsSavedAndLoggedOnce) {
    Initialise([](ServerSettings& s) { s.inactivityTimeout = 0; });
    LogIn();
    EXPECT_EQ(Options("snd=Submit&sysopname=Max+M%FCller&sysoptel=777&timeout=10&optn_log=1"),
              kUpdated + "Max M\xFCller|777|||||10|CHECKED=\"true\"");
    const ServerSettings stored = Stored();
    EXPECT_EQ(stored.adminName, "Max M\xFCller");
    EXPECT_EQ(stored.adminPhone, "777");
    EXPECT_EQ(stored.inactivityTimeout, 600u);
    EXPECT_EQ(stored.eventLogging, 1);
    EXPECT_EQ(stored.adminPassword, "secret");

    std::vector<std::string> lines = EventLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Column(lines[0], 0), "MESSAGE");
    EXPECT_EQ(Column(lines[0], 3), kClient);
    EXPECT_EQ(Column(lines[0], 5), "NBX_admin");
    EXPECT_EQ(Column(lines[0], 8), "Options updated.");

    // Nothing changed, still one event per accepted submission.
    EXPECT_EQ(Options("snd=Submit&timeout=10&optn_log=1"),
              kUpdated + "Max M\xFCller|777|||||10|CHECKED=\"true\"");
    lines = EventLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Column(lines[1], 8), "Options updated.");
}

TEST_F(OptionsPage, PasswordChange) {
    Initialise();
    LogIn();
    EXPECT_EQ(Options("snd=Submit&pswdold=secret&pswd1=n3w!&pswd2=n3w!&timeout=10&optn_log=1"),
              kUpdated + "Jo|555|||||10|CHECKED=\"true\"");
    EXPECT_TRUE(PasswordMatches("n3w!", Stored().adminPassword));
    // The old password is now the wrong one.
    EXPECT_EQ(Options("snd=Submit&pswdold=secret&pswd1=abcd&pswd2=abcd"),
              "OPTIONS[ERROR: Invalid password. Please reenter.]|||secret|abcd|abcd||");
    EXPECT_TRUE(PasswordMatches("n3w!", Stored().adminPassword));
}

TEST_F(OptionsPage, TimeoutIsTypedInMinutesAndStoredInSeconds) {
    Initialise();
    LogIn();
    struct Case {
        const char* typed;
        std::uint32_t seconds;
    };
    for (const Case& c :
         {Case{"timeout=", 0}, Case{"timeout=abc", 0}, Case{"", 0}, Case{"timeout=+3", 180},
          Case{"timeout=%2012min", 720}, Case{"timeout=-5", 0},
          // Beyond what the seconds can hold: the largest whole minute count.
          Case{"timeout=99999999999999999999", 4294967280u}}) {
        Options(std::string("snd=Submit&optn_log=1&") + c.typed);
        EXPECT_EQ(Stored().inactivityTimeout, c.seconds) << c.typed;
    }
    EXPECT_EQ(Options(), "OPTIONS[]Jo|555|||||71582788|CHECKED=\"true\"");
}

TEST_F(OptionsPage, LoggingSwitch) {
    Initialise();
    LogIn();
    // Switched off by the form that leaves the box out: that submission is no longer logged.
    EXPECT_EQ(Options("snd=Submit&timeout=10"), kUpdated + "Jo|555|||||10|");
    EXPECT_EQ(Stored().eventLogging, 0);
    EXPECT_TRUE(EventLines().empty());
    EXPECT_EQ(Options("snd=Submit&timeout=10&optn_log="),
              kUpdated + "Jo|555|||||10|CHECKED=\"true\"");
    EXPECT_EQ(Stored().eventLogging, 1);
    EXPECT_EQ(EventLines().size(), 1u);
}

TEST_F(OptionsPage, NeedsTheSession) {
    Initialise();
    EXPECT_EQ(Options("snd=Submit&sysopname=X"),
              "LOGIN[Please enter Administrator password (>= 4 chars).]");
    LogIn(Now() - 700);
    EXPECT_EQ(Options("snd=Submit&sysopname=X"),
              "LOGIN[ERROR: Inactivity timeout. Please relogin.]");
    EXPECT_EQ(Stored().adminName, "Jo");
    ASSERT_EQ(EventLines().size(), 1u);
    EXPECT_EQ(Column(EventLines()[0], 0), "AUTOLOGOUT");
}
