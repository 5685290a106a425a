// The log viewer of quarnbxadmin run as a web server runs it, over event logs written for the
// test: paging, page size, grouping by category, hidden categories, filters, the stored
// choices, clearing the log, and lines that no server would write.
#include <string>
#include <vector>

#include "AdminPageFixture.h"

namespace {

// Three categories; "N" has no category and shows only its message.
const char* const kCatalogue =
    "N %m\n"
    "=CATEGORY Security\nE0 %c %m\n"
    "=CATEGORY Config\nE1 %c %m\n"
    "=CATEGORY Errors\nE2 %c %m\n";

class LogViewer : public AdminPageFixture {
  protected:
    LogViewer() {
        site_.dir().Write("cgi/quar_view_log.htx",
                          "P <%ve_log_page%> <%ve_log_page_tot%> <%ve_log_page_num%> "
                          "<%ve_log_top_line%> [<%vl_first_dsbld%>|<%vl_prev_dsbld%>|"
                          "<%vl_next_dsbld%>|<%vl_last_dsbld%>]\n"
                          "V [<%ve_log_filter_by_prod%>|<%ve_log_filter_by_user%>|"
                          "<%ve_log_filter_by_comp%>] cat=<%ve_log_sort_by_cat_chkd%> "
                          "date=<%ve_log_sort_by_date_chkd%> n=<%ve_log_show_cats%> "
                          "<%begindetail ve_log_show_cats_loop%>(<%ve_log_show_cat_num%>:"
                          "<%ve_log_show_cat_name%>:<%ve_log_show_cat_chkd%>:"
                          "<%ve_log_show_cat_br%>)<%enddetail%>\n"
                          "<%vl_log_cont%>");
        site_.dir().Write("cgi/quar_nbx_mess.def", kCatalogue);
        Initialise();
        LogIn();
    }

    // One log line as the servers write it.
    static std::string Line(const std::string& code, const std::string& message,
                            const std::string& user = "NBX_admin", const std::string& computer = "",
                            const std::string& product = "") {
        return code + "\t1250000000\t08/11/2009 14:13\t10.0.0.1\t\t" + user + "\t" + computer +
               "\t" + product + "\t" + message + "\r\n";
    }
    // Entries "N 1" to "N count", oldest first.
    void WriteNumberedLog(int count) {
        std::string log;
        for (int i = 1; i <= count; ++i) {
            log += Line("N", std::to_string(i));
        }
        WriteLog(log);
    }
    void WriteLog(const std::string& content) {
        site_.dir().Write("data/quar_nbx_log.txt", content);
    }

    // The three parts of the test page: paging, view choices, entries.
    struct View {
        std::string paging;
        std::string choices;
        std::string entries;
    };
    View ViewLog(const std::string& body = "") {
        const std::string page = Page("viewlog", body);
        const std::size_t first = page.find('\n');
        const std::size_t second = page.find('\n', first + 1);
        EXPECT_NE(second, std::string::npos) << page;
        if (second == std::string::npos) {
            return {page, "", ""};
        }
        return {page.substr(0, first), page.substr(first + 1, second - first - 1),
                page.substr(second + 1)};
    }

    // "n\r\n" for n from `from` down to `to`.
    static std::string Numbers(int from, int to) {
        std::string text;
        for (int i = from; i >= to; --i) {
            text += std::to_string(i) + "\r\n";
        }
        return text;
    }
};

const std::string kAllShown =
    "V [||] cat= date=checked n=3 (0:Security:checked:<br>)(1:Config:checked:<br>)"
    "(2:Errors:checked:)";

}  // namespace

TEST_F(LogViewer, FirstVisitShowsNewestFirst) {
    WriteLog(Line("N", "one") + Line("E1", "two") + Line("UNLISTED", "three"));
    const View v = ViewLog();
    EXPECT_EQ(v.paging, "P 40 1 1 0 [disabled|disabled|disabled|disabled]");
    EXPECT_EQ(v.choices, kAllShown);
    // A code without catalogue text shows its whole line.
    EXPECT_EQ(v.entries,
              "UNLISTED\t1250000000\t08/11/2009 14:13\t10.0.0.1\t\tNBX_admin\t\t\tthree"
              "\r\nE1 two\r\none\r\n");
    // Nothing was chosen, so nothing was stored.
    EXPECT_EQ(Stored().logPageSize, 40);
    EXPECT_EQ(Stored().logViewFlags, 0u);
}

TEST_F(LogViewer, EmptyMissingOrBlankLog) {
    const std::string empty = "P 40 0 1 0 [disabled|disabled|disabled|disabled]";
    EXPECT_EQ(ViewLog().paging, empty);
    WriteLog("");
    EXPECT_EQ(ViewLog().paging, empty);
    // Blank lines hold no event.
    WriteLog("\r\n\n   \t\r\n\r\n");
    const View v = ViewLog("vl_butt=Last");
    EXPECT_EQ(v.paging, empty);
    EXPECT_EQ(v.entries, "");
}

TEST_F(LogViewer, PagingButtons) {
    WriteNumberedLog(95);
    View v = ViewLog("vl_butt=Last");
    EXPECT_EQ(v.paging, "P 40 3 3 55 [||disabled|disabled]");
    EXPECT_EQ(v.entries, Numbers(40, 1));
    EXPECT_EQ(ViewLog("vl_butt=%3E%3E&ve_log_top_line=55").paging,
              "P 40 3 3 55 [||disabled|disabled]");
    // One page on from the second is past the last full page: the last page shows.
    EXPECT_EQ(ViewLog("vl_butt=%3E%3E&ve_log_top_line=40").paging,
              "P 40 3 3 55 [||disabled|disabled]");
    v = ViewLog("vl_butt=%3E%3E&ve_log_top_line=0");
    EXPECT_EQ(v.paging, "P 40 3 2 40 [|||]");
    EXPECT_EQ(v.entries, Numbers(55, 16));
    EXPECT_EQ(ViewLog("vl_butt=%3C%3C&ve_log_top_line=0").paging,
              "P 40 3 1 0 [disabled|disabled||]");
    EXPECT_EQ(ViewLog("vl_butt=%3C%3C&ve_log_top_line=30").paging,
              "P 40 3 1 0 [disabled|disabled||]");
    EXPECT_EQ(ViewLog("vl_butt=Read&ve_log_top_line=30").paging, "P 40 3 2 30 [|||]");
    EXPECT_EQ(ViewLog("vl_butt=First&ve_log_top_line=30").paging,
              "P 40 3 1 0 [disabled|disabled||]");
    // No button, or an unknown one, starts at the top.
    EXPECT_EQ(ViewLog("ve_log_top_line=30").paging, "P 40 3 1 0 [disabled|disabled||]");
    EXPECT_EQ(ViewLog("vl_butt=last&ve_log_top_line=30").paging,
              "P 40 3 1 0 [disabled|disabled||]");
}

TEST_F(LogViewer, PageNumber) {
    WriteNumberedLog(95);
    View v = ViewLog("vl_butt=Read&ve_log_page_num=2");
    EXPECT_EQ(v.paging, "P 40 3 2 40 [|||]");
    EXPECT_EQ(v.entries, Numbers(55, 16));
    // Page 3 would start at entry 80; the last page always ends with the oldest entry.
    EXPECT_EQ(ViewLog("vl_butt=Read&ve_log_page_num=3").paging,
              "P 40 3 3 55 [||disabled|disabled]");
    EXPECT_EQ(ViewLog("vl_butt=Read&ve_log_page_num=99999999999999999999").paging,
              "P 40 3 3 55 [||disabled|disabled]");
    EXPECT_EQ(ViewLog("vl_butt=Read&ve_log_page_num=-4&ve_log_top_line=40").paging,
              "P 40 3 1 0 [disabled|disabled||]");
    EXPECT_EQ(ViewLog("vl_butt=Read&ve_log_top_line=-99999999999999999999").paging,
              "P 40 3 1 0 [disabled|disabled||]");
    // With 200 entries page 3 begins at entry 80.
    WriteNumberedLog(200);
    v = ViewLog("vl_butt=Read&ve_log_page_num=3");
    EXPECT_EQ(v.paging, "P 40 5 3 80 [|||]");
    EXPECT_EQ(v.entries, Numbers(120, 81));
}

TEST_F(LogViewer, PageSizeIsBoundedAndStored) {
    WriteNumberedLog(95);
    // A new size keeps the old top line and ignores the page number.
    View v = ViewLog("vl_butt=Read&ve_log_page=20&ve_log_page_num=3&ve_log_top_line=30");
    EXPECT_EQ(v.paging, "P 20 5 3 30 [|||]");
    EXPECT_EQ(v.entries, Numbers(65, 46));
    EXPECT_EQ(Stored().logPageSize, 20);
    // The same size again: now the page number counts.
    EXPECT_EQ(ViewLog("vl_butt=Read&ve_log_page=20&ve_log_page_num=3&ve_log_top_line=30").paging,
              "P 20 5 3 40 [|||]");
    // Without the field the stored size holds.
    EXPECT_EQ(ViewLog("vl_butt=Read&ve_log_page=").paging, "P 20 5 1 0 [disabled|disabled||]");
    struct Case {
        const char* typed;
        int size;
    };
    for (const Case& c : {Case{"5", 10}, Case{"0", 10}, Case{"abc", 10}, Case{"-7", 10},
                          Case{"11", 11}, Case{"500", 200}, Case{"200", 200}}) {
        v = ViewLog(std::string("vl_butt=First&ve_log_page=") + c.typed);
        EXPECT_EQ(v.paging.rfind("P " + std::to_string(c.size) + " ", 0), 0u) << c.typed;
        EXPECT_EQ(Stored().logPageSize, c.size) << c.typed;
    }
    EXPECT_EQ(v.paging, "P 200 1 1 0 [disabled|disabled|disabled|disabled]");
    EXPECT_EQ(v.entries, Numbers(95, 1));
}

TEST_F(LogViewer, GroupingByCategory) {
    // Ten categories: eight are offered; 8 and 9 count as none and are never hidden.
    std::string catalogue = "N %m\n";
    for (int i = 0; i < 10; ++i) {
        catalogue += "=CATEGORY Cat" + std::to_string(i) + "\nE" + std::to_string(i) + " %c %m\n";
    }
    site_.dir().Write("cgi/quar_nbx_mess.def", catalogue);
    WriteLog(Line("E9", "a") + Line("E0", "b") + Line("E7", "c") + Line("N", "d") +
             Line("E3", "e") + Line("E7", "f") + Line("E8", "g") + Line("E0", "h"));
    const std::string allShown =
        "(0:Cat0:checked:<br>)(1:Cat1:checked:<br>)(2:Cat2:checked:<br>)"
        "(3:Cat3:checked:<br>)(4:Cat4:checked:<br>)(5:Cat5:checked:<br>)"
        "(6:Cat6:checked:<br>)(7:Cat7:checked:)";
    const std::string showAll =
        "&ve_log_show_cat0=1&ve_log_show_cat1=1&ve_log_show_cat2=1"
        "&ve_log_show_cat3=1&ve_log_show_cat4=1&ve_log_show_cat5=1"
        "&ve_log_show_cat6=1";
    View v = ViewLog("vl_butt=First&ve_log_sort_by=ve_log_sort_by_cat" + showAll +
                     "&ve_log_show_cat7=on");
    EXPECT_EQ(v.choices, "V [||] cat=checked date= n=8 " + allShown);
    EXPECT_EQ(v.entries, "E7 f\r\nE7 c\r\nE3 e\r\nE0 h\r\nE0 b\r\nE8 g\r\nd\r\nE9 a\r\n");
    EXPECT_EQ(Stored().logViewFlags, 1u);

    // Category 7 hidden (its box not sent); boxes beyond the offered eight change nothing.
    v = ViewLog("vl_butt=First&ve_log_sort_by=ve_log_sort_by_cat" + showAll);
    EXPECT_EQ(v.entries, "E3 e\r\nE0 h\r\nE0 b\r\nE8 g\r\nd\r\nE9 a\r\n");
    EXPECT_EQ(Stored().logViewFlags, 1u | 1u << 11);
    EXPECT_NE(v.choices.find("(7:Cat7::)"), std::string::npos) << v.choices;

    // By date, still without category 7.
    v = ViewLog("vl_butt=First&ve_log_sort_by=ve_log_sort_by_date" + showAll);
    EXPECT_EQ(v.entries, "E0 h\r\nE8 g\r\nE3 e\r\nd\r\nE0 b\r\nE9 a\r\n");
    EXPECT_EQ(Stored().logViewFlags, 1u << 11);
}

TEST_F(LogViewer, GroupedPageHasOneHeadedRunPerCategory) {
    site_.dir().Write("cgi/quar_view_log.htx",
                      "<%begindetail vl_log_groups%>[<%vl_log_group_name%>]"
                      "<%vl_log_group_cont%><%enddetail%>");
    std::string log;
    for (int i = 0; i < 4; ++i) {
        log += Line("E2", "e" + std::to_string(i)) + Line("E0", "s" + std::to_string(i));
    }
    WriteLog(log + Line("N", "n0") + Line("E1", "c0") + Line("N", "n1") + Line("N", "n2"));
    const std::string grouped =
        "ve_log_sort_by=ve_log_sort_by_cat&ve_log_show_cat0=1"
        "&ve_log_show_cat1=1&ve_log_show_cat2=1&ve_log_page=10";
    struct Case {
        std::string body;
        std::string page;
    };
    const Case cases[] = {
        {grouped + "&vl_butt=First",
         "[Errors]E2 e3\r\nE2 e2\r\nE2 e1\r\nE2 e0\r\n[Config]E1 c0\r\n"
         "[Security]E0 s3\r\nE0 s2\r\nE0 s1\r\nE0 s0\r\n[]n2\r\n"},
        // A page that starts inside a group heads it again.
        {"ve_log_top_line=3&vl_butt=Read",
         "[Errors]E2 e1\r\nE2 e0\r\n[Config]E1 c0\r\n[Security]E0 s3\r\nE0 s2\r\nE0 s1\r\n"
         "E0 s0\r\n[]n2\r\nn1\r\nn0\r\n"},
        // Sorted by date the page has no groups.
        {"ve_log_sort_by=ve_log_sort_by_date&ve_log_show_cat0=1&ve_log_show_cat1=1"
         "&ve_log_show_cat2=1",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        EXPECT_EQ(Page("viewlog", c.body), c.page);
    }
}

TEST_F(LogViewer, FiltersAreStoredInUpperCaseAndMatchAnyCase) {
    WriteLog(Line("N", "1", "NBX_admin", "Host-A", "Quar Mail") +
             Line("N", "2", "nbx_Admin", "host-b", "qUAR mAIL 2") +
             Line("N", "3", "NBX_admin", "Host-A", "Fax") +
             Line("N", "4", "operator", "Host-A", "MAILER") + "N\t1\tmissing columns\r\n");
    const std::string form =
        "vl_butt=First&ve_log_sort_by=ve_log_sort_by_date&ve_log_show_cat0="
        "1&ve_log_show_cat1=1&ve_log_show_cat2=1";
    View v = ViewLog(form + "&ve_log_filter_by_prod=mail");
    EXPECT_EQ(v.choices.substr(0, 13), "V [MAIL||] ca");
    EXPECT_EQ(v.entries, "4\r\n2\r\n1\r\n");
    EXPECT_EQ(Stored().logProductFilter, "MAIL");

    v = ViewLog(form +
                "&ve_log_filter_by_prod=mail&ve_log_filter_by_user=X_a&"
                "ve_log_filter_by_comp=%2Db");
    EXPECT_EQ(v.choices.substr(0, 18), "V [MAIL|X_A|-B] ca");
    EXPECT_EQ(v.entries, "2\r\n");

    // A request without the form (a paging button) keeps the filters, whatever it carries.
    v = ViewLog("vl_butt=Read&ve_log_filter_by_prod=&ve_log_filter_by_user=zzz");
    EXPECT_EQ(v.choices.substr(0, 18), "V [MAIL|X_A|-B] ca");
    EXPECT_EQ(v.entries, "2\r\n");
    EXPECT_EQ(Stored().logUserFilter, "X_A");

    // The form with empty filters clears them.
    v = ViewLog(form + "&ve_log_filter_by_prod=&ve_log_filter_by_user=");
    EXPECT_EQ(v.choices, kAllShown);
    EXPECT_EQ(Stored().logComputerFilter, "");
    // The line without a product column is back; its third column is never shown.
    EXPECT_EQ(v.entries, "\r\n4\r\n3\r\n2\r\n1\r\n");
}

TEST_F(LogViewer, CategoryChoicesNeedTheForm) {
    WriteLog(Line("E0", "a") + Line("E1", "b") + Line("E2", "c"));
    // Only category 1 shown.
    View v = ViewLog("ve_log_sort_by=ve_log_sort_by_date&ve_log_show_cat1=1");
    EXPECT_EQ(v.entries, "E1 b\r\n");
    EXPECT_EQ(v.choices,
              "V [||] cat= date=checked n=3 (0:Security::<br>)(1:Config:checked:<br>)"
              "(2:Errors::)");
    // Without "ve_log_sort_by" the boxes are not read.
    v = ViewLog("vl_butt=Read&ve_log_show_cat0=1&ve_log_show_cat2=1");
    EXPECT_EQ(v.entries, "E1 b\r\n");
    // An unknown order keeps the stored one, but the form's other choices apply.
    v = ViewLog("ve_log_sort_by=other&ve_log_show_cat0=1&ve_log_show_cat2=1");
    EXPECT_EQ(v.entries, "E2 c\r\nE0 a\r\n");
    EXPECT_EQ(Stored().logViewFlags, 1u << 5);
}

TEST_F(LogViewer, ClearLogFile) {
    WriteNumberedLog(95);
    const View v = ViewLog("vl_butt=Clear+Log+File&ve_log_top_line=40");
    EXPECT_EQ(v.paging, "P 40 0 1 0 [disabled|disabled|disabled|disabled]");
    EXPECT_EQ(v.entries, "");
    EXPECT_FALSE(site_.dir().Exists("data/quar_nbx_log.txt"));
    EXPECT_EQ(ViewLog().entries, "");
    // The next event creates the log again.
    EXPECT_EQ(Page("logout"), "LOGIN[Please enter Administrator password (>= 4 chars).]");
    ASSERT_EQ(EventLines().size(), 1u);
    EXPECT_EQ(Column(EventLines()[0], 0), "LOGOUT");
}

TEST_F(LogViewer, NothingWithoutTheOwnSession) {
    WriteNumberedLog(3);
    site_.dir().Write("data/quar_session.dat", "");
    EXPECT_EQ(Page("viewlog", "vl_butt=Clear+Log+File&ve_log_sort_by=ve_log_sort_by_cat"),
              "LOGIN[Please enter Administrator password (>= 4 chars).]");
    EXPECT_EQ(EventLines().size(), 3u);
    EXPECT_EQ(Stored().logViewFlags, 0u);
    // Another client while the session is active.
    LogIn();
    const CgiResult r =
        site_.Run("viewlog|tok", "vl_butt=Clear+Log+File", {{"REMOTE_ADDR", "10.6.6.6"}});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.output.find("ERROR[LOGGET_OTHER\t"), std::string::npos) << r.output;
    ASSERT_EQ(EventLines().size(), 4u);
}

TEST_F(LogViewer, OddLinesNeverBreakThePage) {
    const std::string huge(200 * 1024, 'x');
    std::string binary("N\t1\t\t\t\t\t\t\tnul\0byte\x01\xff", 20);
    WriteLog(
        "N\r\n"                                // the code alone
        "\r\n"                                 // blank: skipped
        "N\tnot a time\r\n"                    // fewer columns
        "  N\t1\t\t\t\t\t\t\tpadded  \t \r\n"  // white space around
        "N\t1\t\t\t\t\t\t\t" +
        huge + "\r\n" +                        // far longer than the viewer reads
        binary + "\n" +                        // LF alone, odd bytes
        "N\t1\t\t\t\t\t\t\ttab\tinside\r\r\n"  // tab in the message, stray CR
        "N\t1\t\t\t\t\t\t\tlast without line end");
    const View v = ViewLog();
    EXPECT_EQ(v.paging, "P 40 1 1 0 [disabled|disabled|disabled|disabled]");
    const std::string shownHuge = huge.substr(0, 64 * 1024 - 10);
    // A NUL byte shows as a blank.
    EXPECT_EQ(v.entries, "last without line end\r\ntab\tinside\r\nnul byte\x01\xff\r\n" +
                             shownHuge + "\r\npadded\r\n\r\n\r\n");
}
