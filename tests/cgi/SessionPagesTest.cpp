// Set-up, login, main page and logout of quarnbxadmin, run as a web server runs it, with
// small prototype pages that show exactly the variables each page sets.
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "AdminPageFixture.h"
#include "platform/Env.h"

namespace {

const std::string kSetupForm =
    "compname=Acme&sysopname=Jo+Smith&sysoptel=555&sysopemail=&pswd1=secret&pswd2=secret";

class SessionPages : public AdminPageFixture {
  protected:
    SessionPages() {
        site_.dir().Write("cgi/quar_init.htx", "INIT[<%err_msg%>]<%isonwin%>");
        site_.dir().Write("cgi/quar_prelogin.htx", "PRELOGIN[<%qa_lm_sm_name%>]");
        site_.dir().Write("cgi/quar_main.htx", "MAIN[<%err_msg%>][<%qa_lm_sm_name%>]");
        site_.dir().Write("cgi/quar_nbx_mess.def",
                          "=CATEGORY Security\nLOGGET_OTHER Taken by %i\n");
    }

    // Hides the fixture's Page: these tests choose the whole query string and the client.
    std::string Page(const char* query, const std::string& body = "",
                     const char* client = kClient) {
        return Answer(query, body, client);
    }

    std::vector<std::string> Events() const { return EventCodes(); }

    // The session token that the main page after a login shows: one of the server's own
    // making, never the token the login request carried.
    static std::string LoginToken(const std::string& page, const std::string& requestToken) {
        const std::string head = "MAIN[Pellmora version 3.0 (July 31 2009)][";
        EXPECT_EQ(page.rfind(head, 0), 0u) << page;
        const std::string token = page.substr(std::min(page.size(), head.size()));
        EXPECT_EQ(token.size(), 33u) << page;
        EXPECT_NE(token, requestToken + "]");
        return token.substr(0, token.size() - 1);
    }

    void Initialise(uint32_t timeout = 600) {
        AdminPageFixture::Initialise([&](ServerSettings& s) { s.inactivityTimeout = timeout; });
    }
};

}  // namespace

TEST_F(SessionPages, FirstPageOfANewServerIsTheSetUpForm) {
    EXPECT_EQ(Page(nullptr), "INIT[]1");
    EXPECT_EQ(Page(""), "INIT[]1");
}

TEST_F(SessionPages, FirstPageOfAnUninstalledServerShowsTheConfigurationProblem) {
    site_.UnregisterDataDirectory();
    EXPECT_EQ(Page(nullptr), "INIT[Config file not found.]1");
}

TEST_F(SessionPages, SetUpValidatesInOrder) {
    EXPECT_EQ(Page("init_base|t"), "INIT[ERROR: Please enter company name.]1");
    EXPECT_EQ(Page("init_base|t", "compname=&sysopname="),
              "INIT[ERROR: Please enter company name.]1");
    EXPECT_EQ(Page("init_base|t", "compname=A"),
              "INIT[ERROR: Please enter Administrator name (i.e. John Smith).]1");
    EXPECT_EQ(Page("init_base|t", "compname=A&sysopname=B"),
              "INIT[ERROR: Please enter Administrator telephone and/or e-mail.]1");
    EXPECT_EQ(Page("init_base|t", "compname=A&sysopname=B&sysopemail=e&pswd1=abc&pswd2=abc"),
              "INIT[Please enter Administrator password (>= 4 chars).]1");
    EXPECT_EQ(Page("init_base|t", "compname=A&sysopname=B&sysoptel=1&pswd1=abcd&pswd2=abce"),
              "INIT[ERROR: New passwords does not match. Please reenter.]1");
    EXPECT_FALSE(site_.dir().Exists("data/quar_settings.dat"));
    EXPECT_TRUE(Events().empty());
}

TEST_F(SessionPages, SetUpStoresSettingsAndOpensASession) {
    const std::string page = Page("init_base|t", kSetupForm);
    ASSERT_EQ(page.rfind("MAIN[][", 0), 0u) << page;
    const std::string token = page.substr(7, page.size() - 8);
    EXPECT_EQ(token.size(), 32u);
    ServerSettings stored;
    ASSERT_TRUE(LoadServerSettings(stored, site_.data(""), Env::Default()));
    EXPECT_EQ(stored.companyName, "Acme");
    EXPECT_EQ(stored.adminName, "Jo Smith");
    EXPECT_EQ(stored.adminPassword, "secret");
    EXPECT_EQ(stored.inactivityTimeout, 600u);
    EXPECT_EQ(stored.eventLogging, 1);
    struct stat st;
    ASSERT_EQ(::stat(site_.data("quar_settings.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(site_.data("quar_session.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(Events(), std::vector<std::string>{"INIT"});

    // The token of the set-up page opens the main page; the server is now initialised.
    EXPECT_EQ(Page(("main|" + token).c_str()), "MAIN[][" + token + "]");
    // The start page is open to anyone: it does not hand out the session's token.
    EXPECT_EQ(Page(nullptr), "PRELOGIN[]");
    // A second set-up is the main page.
    EXPECT_EQ(Page(("init_base|" + token).c_str(), kSetupForm), "MAIN[][" + token + "]");
}

TEST_F(SessionPages, LoginChecksThePassword) {
    Initialise();
    EXPECT_EQ(Page("login|abc"), "LOGIN[Please enter Administrator password (>= 4 chars).]");
    EXPECT_EQ(Page("login|abc", "passwd=Secret"),
              "LOGIN[ERROR: Invalid password. Please reenter.]");
    const std::string token = LoginToken(Page("login|abc", "passwd=secret"), "abc");
    // The refused attempt is an event of its own, with the address it came from.
    EXPECT_EQ(Events(), (std::vector<std::string>{"LOGIN_REFUSED", "LOGIN"}));
    EXPECT_EQ(Column(EventLines().at(0), 3), kClient);
    EXPECT_EQ(Page(("main|" + token).c_str()), "MAIN[][" + token + "]");
}

TEST_F(SessionPages, LoginNeverTakesTheRequestsToken) {
    // A link that fixes the token, sent to the administrator, gives its sender nothing: the
    // session that the login opens has a token of the server's own making.
    Initialise();
    const std::string token = LoginToken(Page("login|audit", "passwd=secret"), "audit");
    EXPECT_EQ(Page("main|audit"), "ERROR[Taken by 10.1.1.1]");
    EXPECT_EQ(Page("main|audit", "", "10.6.6.6"), "ERROR[Taken by 10.6.6.6]");
    EXPECT_EQ(Page(("main|" + token).c_str()), "MAIN[][" + token + "]");
    // Two logins never share a token.
    EXPECT_NE(LoginToken(Page(("login|" + token).c_str(), "passwd=secret"), token), token);
}

TEST_F(SessionPages, PagesWithoutSessionShowTheLogin) {
    EXPECT_EQ(Page("main|x"), "INIT[ERROR: Please enter company name.]1");
    Initialise();
    EXPECT_EQ(Page("main|x"), "LOGIN[Please enter Administrator password (>= 4 chars).]");
    EXPECT_EQ(Page("logout|x"), "LOGIN[Please enter Administrator password (>= 4 chars).]");
}

TEST_F(SessionPages, ForeignActiveSessionIsRefused) {
    Initialise();
    WriteSession("10.1.1.1", "mine", Now());
    EXPECT_EQ(Page("main|other"), "ERROR[Taken by 10.1.1.1]");
    EXPECT_EQ(Page("main|mine", "", "10.9.9.9"), "ERROR[Taken by 10.9.9.9]");
    EXPECT_EQ(Page("login|other", "passwd=secret"), "ERROR[Taken by 10.1.1.1]");
    EXPECT_EQ(Page("logout|other"), "ERROR[Taken by 10.1.1.1]");
    EXPECT_EQ(Events(), (std::vector<std::string>{"LOGGET_OTHER", "LOGGET_OTHER", "LOGGET_OTHER",
                                                  "LOGGET_OTHER"}));
    // The session itself is untouched.
    EXPECT_EQ(Page("main|mine"), "MAIN[][mine]");
}

TEST_F(SessionPages, ExpiryBoundary) {
    Initialise(600);
    WriteSession("10.1.1.1", "t", Now() - 598);
    EXPECT_EQ(Page("main|t"), "MAIN[][t]");  // touched: last activity is now again
    WriteSession("10.1.1.1", "t", Now() - 603);
    EXPECT_EQ(Page("main|t"), "LOGIN[ERROR: Inactivity timeout. Please relogin.]");
    EXPECT_FALSE(site_.dir().Exists("data/quar_session.dat"));
    EXPECT_EQ(Events(), std::vector<std::string>{"AUTOLOGOUT"});
}

TEST_F(SessionPages, ExpiredForeignSessionGivesNoError) {
    Initialise(600);
    WriteSession("10.7.7.7", "theirs", Now() - 1000);
    EXPECT_EQ(Page("main|mine"), "LOGIN[ERROR: Inactivity timeout. Please relogin.]");
    WriteSession("10.7.7.7", "theirs", Now() - 1000);
    LoginToken(Page("login|mine", "passwd=secret"), "mine");
}

TEST_F(SessionPages, ZeroTimeoutNeverExpiresButLoginReplacesAnySession) {
    Initialise(0);
    WriteSession("10.1.1.1", "t", 1);
    EXPECT_EQ(Page("main|t"), "MAIN[][t]");
    WriteSession("10.7.7.7", "theirs", Now());
    LoginToken(Page("login|mine", "passwd=secret"), "mine");
    EXPECT_EQ(Events(), (std::vector<std::string>{"AUTOLOGOUT", "LOGIN"}));
}

TEST_F(SessionPages, NewTokenFromTheSameClientIsForeignWhileTheSessionIsActive) {
    // Ownership is the pair of address and token: a second browser window on the same
    // machine without the token is kept out like another client.
    Initialise();
    WriteSession("10.1.1.1", "old", Now());
    EXPECT_EQ(Page("login|new", "passwd=secret"), "ERROR[Taken by 10.1.1.1]");
    EXPECT_EQ(Events(), std::vector<std::string>{"LOGGET_OTHER"});
    EXPECT_EQ(Page("main|old"), "MAIN[][old]");
    // The own token logs in again, replacing the session.
    LoginToken(Page("login|old", "passwd=secret"), "old");
    EXPECT_EQ(Events(), (std::vector<std::string>{"LOGGET_OTHER", "AUTOLOGOUT", "LOGIN"}));
}

TEST_F(SessionPages, LogoutEndsTheSession) {
    Initialise();
    WriteSession("10.1.1.1", "t", Now());
    EXPECT_EQ(Page("logout|t"), "LOGIN[Please enter Administrator password (>= 4 chars).]");
    EXPECT_FALSE(site_.dir().Exists("data/quar_session.dat"));
    EXPECT_EQ(Events(), std::vector<std::string>{"LOGOUT"});
    WriteSession("10.1.1.1", "t", Now() - 5000);
    EXPECT_EQ(Page("logout|t"), "LOGIN[Please enter Administrator password (>= 4 chars).]");
    EXPECT_EQ(Events(), (std::vector<std::string>{"LOGOUT", "AUTOLOGOUT"}));
}

TEST_F(SessionPages, DamagedSessionFilesCountAsNoSession) {
    Initialise();
    // Tampered: a valid archive whose checksum no longer fits (the token was changed).
    WriteSession("10.1.1.1", "t", Now());
    std::string bytes = site_.Data("quar_session.dat");
    bytes.replace(bytes.find("|t|"), 3, "|u|");
    site_.dir().Write("data/quar_session.dat", bytes);
    EXPECT_EQ(Page("main|u"), "LOGIN[Please enter Administrator password (>= 4 chars).]");
    // Malformed, truncated, empty: no session, and a malformed file is deleted.
    for (const std::string& damaged : {std::string("not an archive"), bytes.substr(0, 20),
                                       std::string("\r\nobj|quar_lm_admin_sf|2|x")}) {
        site_.dir().Write("data/quar_session.dat", damaged);
        EXPECT_EQ(Page("main|t"), "LOGIN[Please enter Administrator password (>= 4 chars).]");
        EXPECT_FALSE(site_.dir().Exists("data/quar_session.dat")) << damaged;
    }
    site_.dir().Write("data/quar_session.dat", "");
    EXPECT_EQ(Page("main|t"), "LOGIN[Please enter Administrator password (>= 4 chars).]");
}

TEST_F(SessionPages, DamagedSettingsLeaveTheServerUninitialised) {
    site_.dir().Write("data/quar_settings.dat", "\r\nobj|quar_srv_settings|A|B");
    EXPECT_EQ(Page(nullptr), "INIT[]1");
    site_.dir().Write("data/quar_settings.dat", std::string(100, '\0'));
    EXPECT_EQ(Page("main|t"), "INIT[ERROR: Please enter company name.]1");
}

TEST_F(SessionPages, UnwritableSessionRaisesTheCode) {
    Initialise();
    // A directory where the session file should be: it can be neither replaced nor written.
    site_.dir().Write("data/quar_session.dat/blocker", "");
    EXPECT_EQ(Page("login|t", "passwd=secret").rfind("ERROR[ERR_WRITESF\t", 0), 0u);
}
