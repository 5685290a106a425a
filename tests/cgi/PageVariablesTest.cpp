// Form fields become template variables of the same names; the variables that the pages of
// quarnbxadmin own must still come from the program alone. Every page of the installed site is
// asked twice from the same state, once plainly and once with those names posted as well: the
// answers must not differ, and none of the posted texts may show.
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "AdminPageFixture.h"

namespace {

// Each owned name with a text that would show, or a value that would change the page, if the
// request could set it. Template-internal names are included: the pages set those first.
const std::string kOwnedFields =
    "err_msg=zqinj01&err_kind=ok&qa_lm_sm_name=zqinj02&isonwin=1"
    "&optn_log_checked=CHECKED%3D%22zqinj03%22&vl_first_dsbld=disabled&vl_prev_dsbld=disabled"
    "&vl_next_dsbld=disabled&vl_last_dsbld=disabled&ve_log_show_cat_br=%3Cbr%3E"
    "&ve_log_show_cats_loop=zqinj04&vl_log_groups=zqinj05&vl_log_cont=zqinj06"
    "&ve_log_page_tot=zqinj07&ve_log_sort_by_cat_chkd=checked&ve_log_sort_by_date_chkd=zqinj08"
    "&ve_log_show_cats=zqinj09&vl_log_group_name=zqinj10&vl_log_group_cont=zqinj11"
    "&ve_log_show_cat_name=zqinj12&ve_log_show_cat_chkd=zqinj13&page_msg=zqinj14&msg_kind=ok"
    "&nav_active=zqinj15&page_title=zqinj16&f_msg_kind=ok";

// Session tokens of the server's own making differ from run to run.
// The parts of a page that differ between two runs of one request: the fresh session token and
// the time of day in messages (two runs may fall on either side of a minute).
std::string WithoutFreshTokens(const std::string& page) {
    static const std::regex token("[0-9a-f]{32}");
    static const std::regex minute("[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}");
    return std::regex_replace(std::regex_replace(page, token, "<token>"), minute, "<time>");
}

enum class SessionFile { None, Own, Expired, Foreign };

struct State {
    const char* name;
    bool setUp;
    bool passwordCleared;
    bool groupedLog;
    SessionFile session;
};

struct Request {
    const char* query;  // null: the first page
    const char* body;
};

class PageVariables : public AdminPageFixture {
  protected:
    PageVariables() {
        for (const auto& entry : std::filesystem::directory_iterator(QUAR_SITE_DIR)) {
            const std::string name = entry.path().filename().string();
            if (entry.path().extension() == ".htx" || entry.path().extension() == ".def") {
                std::filesystem::copy_file(entry.path(), site_.cgi(name),
                                           std::filesystem::copy_options::overwrite_existing);
            }
        }
    }

    // A data directory holding only what `state` describes, and a short event log.
    void Prepare(const State& state) {
        for (const char* file : {"quar_settings.dat", "quar_session.dat", "quar_nbx_log.txt"}) {
            std::filesystem::remove(site_.data(file));
        }
        if (state.setUp) {
            Initialise([&](ServerSettings& s) {
                if (state.passwordCleared) {
                    s.adminPassword.clear();
                }
                s.logViewFlags = state.groupedLog ? 1 : 0;
            });
        }
        switch (state.session) {
            case SessionFile::None:
                break;
            case SessionFile::Own:
                LogIn();
                break;
            case SessionFile::Expired:
                LogIn(Now() - 100000);
                break;
            case SessionFile::Foreign:
                WriteSession("10.9.9.9", "theirs", Now());
                break;
        }
        std::string log;
        for (const char* code : {"LOGIN", "INIT", "NO_SUCH_CODE", "ERR_WRITESF", "LOGOUT"}) {
            log += std::string(code) +
                   "\t1249049100\t07/31/2009 14:05\t10.1.1.1\t\tNBX_admin\t\t\t\r\n";
        }
        site_.dir().Write("data/quar_nbx_log.txt", log);
    }
};

}  // namespace

TEST_F(PageVariables, PostedNamesOfThePagesOwnVariablesChangeNothing) {
    const State states[] = {
        {"new server", false, false, false, SessionFile::None},
        {"set up", true, false, false, SessionFile::None},
        {"password cleared", true, true, false, SessionFile::None},
        {"logged in", true, false, false, SessionFile::Own},
        {"logged in, grouped log", true, false, true, SessionFile::Own},
        {"session expired", true, false, false, SessionFile::Expired},
        {"another client's session", true, false, false, SessionFile::Foreign},
    };
    const Request requests[] = {
        {nullptr, ""},
        {"init_base|tok", ""},
        {"init_base|tok", "compname=A&sysopname=B&sysoptel=1&pswd1=abc&pswd2=abc"},
        {"init_base|tok", "compname=A&sysopname=B&sysoptel=1&pswd1=abcd&pswd2=abcd"},
        {"login|tok", ""},
        {"login|tok", "passwd=wrong"},
        {"login|tok", "passwd=secret"},
        {"main|tok", ""},
        {"options|tok", ""},
        {"options|tok", "snd=Submit&pswd1=abcd"},
        {"options|tok", "snd=Submit&sysoptel=1"},
        {"viewlog|tok", ""},
        {"viewlog|tok", "ve_log_sort_by=ve_log_sort_by_cat&ve_log_show_cat0=1&ve_log_page=2"},
        {"logout|tok", ""},
    };
    for (const State& state : states) {
        for (const Request& request : requests) {
            SCOPED_TRACE(std::string(state.name) + ": " +
                         (request.query ? request.query : "(first page)") + " " + request.body);
            const std::string own = request.body;
            const std::string posted = own.empty() ? kOwnedFields : own + "&" + kOwnedFields;
            Prepare(state);
            const std::string plain = WithoutFreshTokens(Answer(request.query, own, kClient));
            Prepare(state);
            const std::string withOwned =
                WithoutFreshTokens(Answer(request.query, posted, kClient));
            EXPECT_EQ(withOwned.find("zqinj"), std::string::npos) << withOwned;
            EXPECT_EQ(withOwned, plain);
        }
    }
}
