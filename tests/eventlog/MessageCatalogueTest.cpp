#include "eventlog/MessageCatalogue.h"

#include <memory>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "platform/Env.h"
#include "support/TempDir.h"

namespace {

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

TEST(MessageCatalogueParse, TrimsCodeAndTextAndAcceptsTabs) {
    MessageCatalogue catalogue;
    catalogue.Parse("  \tLOGIN    Admin %u logged in.   \r\nLOGOUT\tBye\t now\n");
    ASSERT_NE(catalogue.Find("LOGIN"), nullptr);
    EXPECT_EQ(catalogue.Find("LOGIN")->text, "Admin %u logged in.");
    ASSERT_NE(catalogue.Find("LOGOUT"), nullptr);
    EXPECT_EQ(catalogue.Find("LOGOUT")->text, "Bye\t now");  // inner tabs are text
}

TEST(MessageCatalogueParse, CommentsBlankLinesAndEmptyTexts) {
    MessageCatalogue catalogue;
    catalogue.Parse("# LOGIN commented out\n   #LOGOUT also\n\n \t \r\nINIT\nMESSAGE   \n");
    EXPECT_EQ(catalogue.Find("LOGIN"), nullptr);
    EXPECT_EQ(catalogue.Find("LOGOUT"), nullptr);
    EXPECT_EQ(catalogue.Find("#LOGOUT"), nullptr);
    ASSERT_NE(catalogue.Find("INIT"), nullptr);
    EXPECT_EQ(catalogue.Find("INIT")->text, "");
    ASSERT_NE(catalogue.Find("MESSAGE"), nullptr);
    EXPECT_EQ(catalogue.Find("MESSAGE")->text, "");
}

TEST(MessageCatalogueParse, LaterDuplicateWinsAndCodesAreCaseSensitive) {
    MessageCatalogue catalogue;
    catalogue.Parse("=CATEGORY A\nLOGIN first\n=CATEGORY B\nLOGIN second\n");
    ASSERT_NE(catalogue.Find("LOGIN"), nullptr);
    EXPECT_EQ(catalogue.Find("LOGIN")->text, "second");
    EXPECT_EQ(catalogue.Find("LOGIN")->category, 1);
    EXPECT_EQ(catalogue.Find("login"), nullptr);
    EXPECT_EQ(catalogue.CategoryOf("login"), -1);
}

// Entries view the catalogue's own text: a copy keeps them valid after the original is
// loaded again or gone, short texts included; several duplicates keep the last, in any order.
TEST(MessageCatalogueParse, CopiesKeepTheirTextsAndTheLastOfManyDuplicatesWins) {
    auto original = std::make_unique<MessageCatalogue>();
    original->Parse("B 1\nA x\nB 2\nC c\nB 3\n");
    const MessageCatalogue copy = *original;
    original->Parse("A replaced\n");
    EXPECT_EQ(original->Find("A")->text, "replaced");
    original.reset();
    ASSERT_NE(copy.Find("B"), nullptr);
    EXPECT_EQ(copy.Find("B")->text, "3");
    EXPECT_EQ(copy.Find("A")->text, "x");
    EXPECT_EQ(copy.Find("C")->text, "c");
    EXPECT_EQ(copy.Find("D"), nullptr);
    EXPECT_EQ(copy.Find(""), nullptr);
}

TEST(MessageCatalogueParse, CategoriesAreCountedAndCappedAtEight) {
    std::string content = "BEFORE no category\n";
    for (int i = 0; i < 9; ++i) {
        content += "=CATEGORY  Title " + std::to_string(i) + "  \n";
        content += "CODE" + std::to_string(i) + " text\n";
    }
    content += "=CATEGORY Tenth\nLAST text\n";
    MessageCatalogue catalogue;
    catalogue.Parse(content);

    ASSERT_EQ(catalogue.CategoryNames().size(), 8u);
    EXPECT_EQ(catalogue.CategoryNames()[0], "Title 0");
    EXPECT_EQ(catalogue.CategoryNames()[7], "Title 7");
    EXPECT_EQ(catalogue.CategoryOf("BEFORE"), -1);
    EXPECT_EQ(catalogue.CategoryOf("CODE0"), 0);
    EXPECT_EQ(catalogue.CategoryOf("CODE7"), 7);
    EXPECT_EQ(catalogue.CategoryOf("CODE8"), -1);
    EXPECT_EQ(catalogue.CategoryOf("LAST"), -1);
}

TEST(MessageCatalogueParse, CategoryMarkerIsExactUpperCase) {
    MessageCatalogue catalogue;
    catalogue.Parse("=category lower\n=CATEGORY\nX x\n=CATEGORYX y\n");
    ASSERT_EQ(catalogue.CategoryNames().size(), 1u);
    EXPECT_EQ(catalogue.CategoryNames()[0], "");
    ASSERT_NE(catalogue.Find("=category"), nullptr);
    EXPECT_EQ(catalogue.Find("=category")->text, "lower");
    EXPECT_EQ(catalogue.Find("=category")->category, -1);
    EXPECT_EQ(catalogue.CategoryOf("X"), 0);
    EXPECT_EQ(catalogue.CategoryOf("=CATEGORYX"), 0);
}

TEST(MessageCatalogueLoad, ReadsTheFileAndReportsNothing) {
    TempDir dir;
    const std::string path = dir / "quar_nbx_mess.def";
    WriteFile(path, "=CATEGORY Security\r\nLOGIN Hello %u\r\n");
    MessageCatalogue catalogue;
    EXPECT_EQ(catalogue.Load(Env::Default(), path), "");
    EXPECT_EQ(catalogue.CategoryNames(), std::vector<std::string>{"Security"});
    ASSERT_NE(catalogue.Find("LOGIN"), nullptr);
    EXPECT_EQ(catalogue.Find("LOGIN")->text, "Hello %u");
}

TEST(MessageCatalogueLoad, WarningsNameTheFileAndKeepTheCatalogue) {
    TempDir dir;
    MessageCatalogue catalogue;
    catalogue.Parse("=CATEGORY Kept\nKEPT text\n");

    const std::string missing = dir / "missing.def";
    EXPECT_EQ(catalogue.Load(Env::Default(), missing),
              "No message description file (" + missing + ").");

    const std::string empty = dir / "empty.def";
    WriteFile(empty, "");
    EXPECT_EQ(catalogue.Load(Env::Default(), empty),
              "Invalid message description file (" + empty + ").");

    // A directory exists and has a size but cannot be read as a file.
    const std::string directory = dir / "dir.def";
    std::filesystem::create_directory(directory);
    EXPECT_EQ(catalogue.Load(Env::Default(), directory),
              "Error read message description file " + directory + ", error 21 (Is a directory)");

    EXPECT_NE(catalogue.Find("KEPT"), nullptr);
    EXPECT_EQ(catalogue.CategoryNames().size(), 1u);
}

// The quoted codes passed to LogCode or RaiseCode in `source`: every literal in a call's
// arguments, so that both codes of `valid ? "LOGOUT" : "AUTOLOGOUT"` count.
std::set<std::string> CodesRaisedOrLogged(const std::string& source) {
    static const std::regex call(R"(\b(?:LogCode|RaiseCode)\s*\()");
    static const std::regex literal(R"lit("([A-Z][A-Z0-9_]*)")lit");
    std::set<std::string> codes;
    for (auto at = std::sregex_iterator(source.begin(), source.end(), call);
         at != std::sregex_iterator(); ++at) {
        std::size_t end = at->position() + at->length();
        for (int depth = 1; end < source.size() && depth > 0; ++end) {
            depth += source[end] == '(' ? 1 : source[end] == ')' ? -1 : 0;
        }
        const std::string arguments = source.substr(at->position(), end - at->position());
        for (auto code = std::sregex_iterator(arguments.begin(), arguments.end(), literal);
             code != std::sregex_iterator(); ++code) {
            codes.insert((*code)[1]);
        }
    }
    return codes;
}

TEST(SiteCatalogue, CodeScanFindsEveryLiteralOfACall) {
    const struct {
        const char* source;
        std::set<std::string> codes;
    } cases[] = {
        {"app.LogCode(app.Event(), \"INIT\");", {"INIT"}},
        {"RaiseCode(event_,\n          \"ERR_X\");", {"ERR_X"}},
        {"LogCode(e, ok ? \"A_1\" : \"B\"); Other(\"C\");", {"A_1", "B"}},
        {"void RaiseCode(EventRecord& event, const char* code);", {}},
        {"Log(\"NOT_A_CODE\"); CatalogueLogCode(\"NOR_THIS\");", {}},
        {"LogCode(Event(\"x\"), \"LOWER\"); LogCode(e, \"lower\");", {"LOWER"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_EQ(CodesRaisedOrLogged(c.source), c.codes);
    }
}

// The codes the programs raise or log, read from their source.
std::set<std::string> ProgramCodes() {
    std::set<std::string> codes;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(QUAR_SOURCE_DIR)) {
        const std::string extension = entry.path().extension().string();
        if (entry.is_regular_file() && (extension == ".cpp" || extension == ".h")) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
            codes.merge(CodesRaisedOrLogged(text));
        }
    }
    return codes;
}

// The catalogue shipped with the installation must describe every code the programs raise or
// log, in a category, with markers that the event record knows.
TEST(SiteCatalogue, DescribesEveryCodeOfThePrograms) {
    MessageCatalogue catalogue;
    ASSERT_EQ(catalogue.Load(Env::Default(), QUAR_SITE_DIR "/quar_nbx_mess.def"), "");
    EXPECT_LE(catalogue.CategoryNames().size(), 8u);
    const std::set<std::string> codes = ProgramCodes();
    // A scan that finds nothing would pass: the programs log set-up and log-in at least.
    ASSERT_TRUE(codes.count("INIT") && codes.count("LOGIN"));
    for (const std::string& code : codes) {
        SCOPED_TRACE(code);
        const MessageEntry* entry = catalogue.Find(code);
        ASSERT_NE(entry, nullptr);
        EXPECT_FALSE(entry->text.empty());
        EXPECT_GE(entry->category, 0);
        for (std::size_t pos = entry->text.find('%'); pos != std::string::npos;
             pos = entry->text.find('%', pos + 2)) {
            ASSERT_LT(pos + 1, entry->text.size());
            EXPECT_NE(std::string("cdsixauhpm%").find(entry->text[pos + 1]), std::string::npos)
                << "unknown marker in " << entry->text;
        }
    }
    ASSERT_NE(catalogue.Find("MESSAGE"), nullptr);
    EXPECT_NE(catalogue.Find("MESSAGE")->text.find("%m"), std::string::npos);
}

}  // namespace
