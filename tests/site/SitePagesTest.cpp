// Renders each page of the administration site with the variables that its request handler
// sets, with template diagnostics switched on, and checks what the browser and the next
// request depend on: the form fields, the session token in every link and form, escaping of
// everything a client can influence, and images that exist.
//
// With QUAR_SITE_PREVIEW set to a directory, each rendered page is also written there (as
// <test name>.html) for a look in a browser.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <regex>
#include <string>

#include "htx/HtxProcessor.h"

namespace {

const char kToken[] = "4711";
const char kHostile[] = "<script>alert('x')</script>\"&\\";
const char kHostileEscaped[] = "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&quot;&amp;&#92;";

class SitePagesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        // Pages include their common parts by names relative to the working directory.
        std::filesystem::current_path(QUAR_SITE_DIR);
        ASSERT_EQ(proc_.ProcessTemplateText("<%#set #debug_level 1%>", [](const char*, size_t) {}),
                  HtxProcessor::kProcessed);
    }

    void TearDown() override { std::filesystem::current_path(previous_); }

    // Processes the page and checks what every page must satisfy.
    std::string Render(const std::string& page) {
        std::string html;
        const std::int32_t result = proc_.ProcessTemplate(
            page, [&](const char* text, std::size_t n) { html.append(text, n); });
        EXPECT_EQ(result, HtxProcessor::kProcessed) << page;
        // Diagnostics of the template processor all start with asterisks.
        EXPECT_EQ(html.find("****"), std::string::npos) << Excerpt(html, html.find("****"));
        EXPECT_NE(html.find("</html>"), std::string::npos) << "page not complete";
        ExpectImagesExist(html);
        ExpectLinksCarryToken(html);
        WritePreview(html);
        return html;
    }

    static std::string Excerpt(const std::string& html, std::size_t at) {
        if (at == std::string::npos)
            return "";
        return html.substr(at < 80 ? 0 : at - 80, 200);
    }

    static void ExpectFields(const std::string& html, std::initializer_list<const char*> names) {
        for (const char* name : names) {
            EXPECT_NE(html.find(std::string("name=\"") + name + "\""), std::string::npos)
                << "no form field " << name;
        }
    }

    static void ExpectContains(const std::string& html, const std::string& text) {
        EXPECT_NE(html.find(text), std::string::npos) << "missing: " << text;
    }

    static void ExpectLacks(const std::string& html, const std::string& text) {
        EXPECT_EQ(html.find(text), std::string::npos)
            << "unexpected: " << Excerpt(html, html.find(text));
    }

    // Every image the page asks the image program for lies in the site folder.
    static void ExpectImagesExist(const std::string& html) {
        static const std::regex image("quarnbxpic\\?([^\"') ]*)");
        for (auto it = std::sregex_iterator(html.begin(), html.end(), image);
             it != std::sregex_iterator(); ++it) {
            const std::string name = (*it)[1];
            EXPECT_TRUE(std::filesystem::is_regular_file(name)) << "no image " << name;
        }
    }

    // Links and forms of the session's pages name the request and carry the token after "|";
    // only the login and set-up forms and the start page go without one.
    static void ExpectLinksCarryToken(const std::string& html) {
        static const std::regex link("quarnbxadmin(\\?([^\"|]*)(\\|[^\"]*)?)?\"");
        for (auto it = std::sregex_iterator(html.begin(), html.end(), link);
             it != std::sregex_iterator(); ++it) {
            const std::string request = (*it)[2];
            if (request.empty() || request == "login" || request == "init_base")
                continue;
            EXPECT_EQ((*it)[3].str(), std::string("|") + kToken) << "link " << (*it)[0];
        }
    }

    void WritePreview(const std::string& html) {
        const char* dir = std::getenv("QUAR_SITE_PREVIEW");
        if (dir == nullptr)
            return;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::ofstream(std::filesystem::path(dir) / (std::string(info->name()) + ".html")) << html;
    }

    void Set(const char* name, const std::string& value) { proc_.SetStringVar(name, value); }
    void SetInt(const char* name, std::int32_t value) { proc_.SetIntVar(name, value); }

    // The viewer's variables for a page of a log with `pages` pages, showing `page`.
    void SetViewerPage(std::int32_t page, std::int32_t pages, const std::string& lines) {
        Set("qa_lm_sm_name", kToken);
        SetInt("ve_log_page", 40);
        SetInt("ve_log_page_tot", pages);
        SetInt("ve_log_page_num", page);
        SetInt("ve_log_top_line", (page - 1) * 40);
        if (page <= 1) {
            Set("vl_first_dsbld", "disabled");
            Set("vl_prev_dsbld", "disabled");
        }
        if (page >= pages) {
            Set("vl_next_dsbld", "disabled");
            Set("vl_last_dsbld", "disabled");
        }
        Set("ve_log_filter_by_prod", "");
        Set("ve_log_filter_by_user", "NBX");
        Set("ve_log_filter_by_comp", "");
        Set("ve_log_sort_by_cat_chkd", "");
        Set("ve_log_sort_by_date_chkd", "checked");
        Set("vl_log_cont", lines);
    }

    void SetCategories(std::initializer_list<const char*> names, int hidden) {
        auto rows = std::make_shared<RowList>();
        int i = 0;
        for (const char* name : names) {
            VarMap& row = rows->AddBack();
            MapSetInt(row, "ve_log_show_cat_num", i);
            MapSetString(row, "ve_log_show_cat_name", name);
            if (i + 1 < static_cast<int>(names.size()))
                MapSetString(row, "ve_log_show_cat_br", "<br>");
            MapSetString(row, "ve_log_show_cat_chkd", i == hidden ? "" : "checked");
            ++i;
        }
        SetInt("ve_log_show_cats", i);
        if (i > 0)
            proc_.SetListVar("ve_log_show_cats_loop", rows);
    }

    HtxProcessor proc_{false};
    std::filesystem::path previous_;
};

TEST_F(SitePagesTest, ErrorPageEscapesTheMessage) {
    Set("err_msg", std::string("Unknown request ") + kHostile + " (11)");
    const std::string html = Render("quar_error.htx");
    ExpectContains(html, std::string("Unknown request ") + kHostileEscaped + " (11)");
    ExpectLacks(html, "<script>");
    ExpectContains(html, "quarnbxpic?logo.gif");
}

TEST_F(SitePagesTest, SetUpFirstVisit) {
    SetInt("isonwin", 1);
    Set("err_msg", "");
    const std::string html = Render("quar_init.htx");
    ExpectFields(html, {"compname", "sysopname", "sysoptel", "sysopemail", "pswd1", "pswd2"});
    ExpectContains(html, "action=\"quarnbxadmin?init_base\"");
    ExpectContains(html, "has not been set up yet");
    // No message: no message box.
    ExpectLacks(html, "class=\"msg");
    ExpectContains(html, "name=\"compname\" id=\"compname\" value=\"\"");
}

TEST_F(SitePagesTest, SetUpConfigurationProblemIsAnError) {
    SetInt("isonwin", 1);
    Set("err_msg", "Config file not found.");
    Set("err_kind", "error");
    const std::string html = Render("quar_init.htx");
    ExpectContains(html, "icon_error.gif");
    ExpectContains(html, "Config file not found.");
}

TEST_F(SitePagesTest, SetUpRefusedKeepsWhatWasTyped) {
    // The request's own fields are variables of the same names; the page sets no isonwin.
    Set("compname", kHostile);
    Set("sysopname", "John Smith");
    Set("sysoptel", "");
    Set("sysopemail", "");
    Set("pswd1", "secret");
    Set("pswd2", "secret");
    Set("err_msg", "ERROR: Please enter Administrator telephone and/or e-mail.");
    Set("err_kind", "error");
    const std::string html = Render("quar_init.htx");
    ExpectContains(html, std::string("id=\"compname\" value=\"") + kHostileEscaped + "\"");
    ExpectContains(html, "id=\"sysopname\" value=\"John Smith\"");
    ExpectLacks(html, "has not been set up yet");
    ExpectContains(html, "icon_error.gif");
    // A typed password never comes back in the page.
    ExpectLacks(html, "secret");
}

TEST_F(SitePagesTest, PreLoginWithoutSession) {
    const std::string html = Render("quar_prelogin.htx");
    ExpectFields(html, {"passwd"});
    ExpectContains(html, "action=\"quarnbxadmin?login\"");
}

TEST_F(SitePagesTest, PreLoginNeverShowsTheActiveSessionsToken) {
    // Anyone can open the start page: the token of a running session must not appear on it.
    Set("qa_lm_sm_name", "31337");
    const std::string html = Render("quar_prelogin.htx");
    ExpectLacks(html, "31337");
}

TEST_F(SitePagesTest, LoginPrompt) {
    Set("err_msg", "Please enter Administrator password (>= 4 chars).");
    const std::string html = Render("quar_login.htx");
    ExpectFields(html, {"passwd"});
    ExpectContains(html, "Please enter Administrator password (&gt;= 4 chars).");
    ExpectContains(html, "icon_info.gif");
}

TEST_F(SitePagesTest, LoginAfterTimeout) {
    Set("err_msg", "ERROR: Inactivity timeout. Please relogin.");
    Set("err_kind", "error");
    const std::string html = Render("quar_login.htx");
    ExpectContains(html, "icon_error.gif");
    ExpectContains(html, "ERROR: Inactivity timeout. Please relogin.");
}

TEST_F(SitePagesTest, MainAfterLoginShowsBannerAndCarriesToken) {
    Set("qa_lm_sm_name", kToken);
    Set("err_msg", "Pellmora version 3.0 (July 31 2009)");
    const std::string html = Render("quar_main.htx");
    for (const char* request : {"options", "viewlog", "logout"}) {
        ExpectContains(html, std::string("quarnbxadmin?") + request + "|" + kToken);
    }
    ExpectContains(html, "icon_info.gif");
    ExpectContains(html, "nav_main_on.gif");
}

TEST_F(SitePagesTest, MainWithoutMessage) {
    Set("qa_lm_sm_name", kToken);
    const std::string html = Render("quar_main.htx");
    ExpectLacks(html, "class=\"msg");
}

TEST_F(SitePagesTest, MainEscapesAClientChosenToken) {
    Set("qa_lm_sm_name", kHostile);
    std::string html;
    proc_.ProcessTemplate("quar_main.htx",
                          [&](const char* text, std::size_t n) { html.append(text, n); });
    ExpectContains(html, std::string("quarnbxadmin?logout|") + kHostileEscaped + "\"");
    ExpectLacks(html, "<script>");
}

class SiteOptionsPageTest : public SitePagesTest {
  protected:
    // Form filling from the stored values.
    void FillStored(bool logging) {
        Set("qa_lm_sm_name", kToken);
        Set("sysopname", "John Smith");
        Set("sysoptel", "555 0100");
        Set("sysopemail", "");
        Set("pswdold", "");
        Set("pswd1", "");
        Set("pswd2", "");
        SetInt("timeout", 10);
        if (logging)
            Set("optn_log_checked", "CHECKED=\"true\"");
    }

    static bool Checked(const std::string& html) {
        const std::size_t box = html.find("name=\"optn_log\"");
        return box != std::string::npos &&
               html.substr(box, html.find('>', box) - box).find(" checked") != std::string::npos;
    }
};

TEST_F(SiteOptionsPageTest, ShowsTheStoredValues) {
    FillStored(true);
    const std::string html = Render("quar_options.htx");
    ExpectFields(html, {"sysopname", "sysoptel", "sysopemail", "pswdold", "pswd1", "pswd2",
                        "timeout", "optn_log", "snd"});
    ExpectContains(html, "name=\"snd\" value=\"Submit\"");
    ExpectContains(html, "name=\"snd\" value=\"Cancel\"");
    ExpectContains(html, std::string("action=\"quarnbxadmin?options|") + kToken + "\"");
    ExpectContains(html, "id=\"timeout\" value=\"10\"");
    ExpectContains(html, "id=\"sysoptel\" value=\"555 0100\"");
    EXPECT_TRUE(Checked(html));
    ExpectContains(html, "nav_options_on.gif");
    ExpectContains(html, std::string("quarnbxadmin?main|") + kToken);
}

TEST_F(SiteOptionsPageTest, LoggingOffLeavesTheBoxClear) {
    FillStored(false);
    EXPECT_FALSE(Checked(Render("quar_options.htx")));
}

TEST_F(SiteOptionsPageTest, CancelShowsTheStoredSwitchNotTheSubmittedOne) {
    FillStored(false);
    Set("snd", "Cancel");
    Set("optn_log", "1");
    EXPECT_FALSE(Checked(Render("quar_options.htx")));
}

TEST_F(SiteOptionsPageTest, AcceptedSubmissionShowsOwnSuccessMessage) {
    FillStored(true);
    Set("snd", "Submit");
    Set("optn_log", "1");
    Set("err_msg", "<FONT COLOR=\"#FF172E\" SIZE=+2>Options updated.</FONT>");
    Set("err_kind", "ok");
    const std::string html = Render("quar_options.htx");
    ExpectContains(html, "icon_ok.gif");
    ExpectContains(html, "Options updated.");
    ExpectLacks(html, "<FONT");
    ExpectLacks(html, "&lt;FONT");
    EXPECT_TRUE(Checked(html));
}

TEST_F(SiteOptionsPageTest, RefusedSubmissionShowsWhatWasTyped) {
    // After a refused check the page sees the request's own parameters, no optn_log_checked.
    Set("qa_lm_sm_name", kToken);
    Set("snd", "Submit");
    Set("sysopname", kHostile);
    Set("sysoptel", "");
    Set("sysopemail", "");
    Set("pswdold", "typed-old");
    Set("pswd1", "typed-new");
    Set("pswd2", "typed-new");
    Set("timeout", "15x");
    Set("optn_log", "1");
    Set("err_msg", "ERROR: To change password you need to enter your current password.");
    Set("err_kind", "error");
    const std::string html = Render("quar_options.htx");
    ExpectContains(html, std::string("id=\"sysopname\" value=\"") + kHostileEscaped + "\"");
    ExpectContains(html, "id=\"timeout\" value=\"15x\"");
    ExpectContains(html, "icon_error.gif");
    ExpectLacks(html, "typed-");
    EXPECT_TRUE(Checked(html));
}

TEST_F(SiteOptionsPageTest, RefusedSubmissionWithLoggingUnticked) {
    Set("qa_lm_sm_name", kToken);
    Set("snd", "Submit");
    Set("sysopname", "x");
    Set("sysoptel", "");
    Set("sysopemail", "");
    Set("timeout", "10");
    Set("err_msg", "ERROR: Invalid password. Please reenter.");
    EXPECT_FALSE(Checked(Render("quar_options.htx")));
}

TEST_F(SitePagesTest, LogViewerMiddlePage) {
    SetViewerPage(2, 3,
                  "07/31/2009 14:05  Administrator NBX_admin logged in from 127.0.0.1.\r\n" +
                      std::string(kHostile) + "\r\n");
    SetCategories({"Security", "Configuration", "Errors"}, 1);
    const std::string html = Render("quar_view_log.htx");
    ExpectFields(html, {"ve_log_page_num", "ve_log_top_line", "ve_log_page", "ve_log_sort_by",
                        "ve_log_filter_by_prod", "ve_log_filter_by_user", "ve_log_filter_by_comp",
                        "ve_log_show_cat0", "ve_log_show_cat1", "ve_log_show_cat2", "vl_butt"});
    for (const char* button : {"First", "&lt;&lt;", "Read", "&gt;&gt;", "Last", "Clear Log File"}) {
        ExpectContains(html, std::string("name=\"vl_butt\" value=\"") + button + "\"");
    }
    ExpectContains(html, "id=\"ve_log_page_num\" value=\"2\"");
    ExpectContains(html, "name=\"ve_log_top_line\" value=\"40\"");
    ExpectContains(html, "of <b>3</b>");
    ExpectContains(html, "id=\"ve_log_filter_by_user\" value=\"NBX\"");
    ExpectContains(html, "value=\"ve_log_sort_by_date\" checked>");
    ExpectContains(html, "value=\"ve_log_sort_by_cat\" >");
    // Category 1 is hidden, the others shown; a line break between entries, none after.
    ExpectContains(html, "name=\"ve_log_show_cat0\" id=\"ve_log_show_cat0\" value=\"1\" checked>");
    ExpectContains(html, "name=\"ve_log_show_cat1\" id=\"ve_log_show_cat1\" value=\"1\" >");
    ExpectContains(html, ">Errors</label></td>");
    ExpectContains(html, ">Security</label><br>");
    ExpectContains(html, kHostileEscaped);
    ExpectLacks(html, "<script>");
    ExpectLacks(html, "_off.gif");
}

TEST_F(SitePagesTest, LogViewerEmptyLogDisablesPaging) {
    SetViewerPage(1, 0, "");
    SetCategories({"Security"}, -1);
    const std::string html = Render("quar_view_log.htx");
    for (const char* image :
         {"btn_first_off.gif", "btn_prev_off.gif", "btn_next_off.gif", "btn_last_off.gif"}) {
        ExpectContains(html, image);
    }
    for (const char* image : {"btn_first.gif", "btn_prev.gif", "btn_next.gif", "btn_last.gif"}) {
        ExpectLacks(html, image);
    }
    ExpectContains(html, "No events to show.");
    ExpectContains(html, "(empty)");
    ExpectLacks(html, "<pre");
}

TEST_F(SitePagesTest, LogViewerWithoutCategories) {
    SetViewerPage(1, 1, "line\r\n");
    SetCategories({}, -1);
    const std::string html = Render("quar_view_log.htx");
    ExpectLacks(html, "ve_log_show_cat0");
    ExpectContains(html, "defines no categories");
}

}  // namespace
