// quarnbx run as a web server runs it: banner answers, the request table, error replies.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/CgiSite.h"

namespace {

const std::string kPlain = "Content-Type: text/plain\r\nPragma: no-cache\r\n\r\n";
const std::string kBanner = "Orvelle Pellmora version 2.0 (Aug 27 2002)";

class Endpoint : public ::testing::Test {
  protected:
    Endpoint() : site_(QUARNBX) {}
    CgiSite site_;
};

}  // namespace

TEST_F(Endpoint, RequestsWithoutBodyGetTheBanner) {
    EXPECT_EQ(site_.Run(nullptr).output, kPlain + kBanner);
    EXPECT_EQ(site_.Run(nullptr, "", {{"CONTENT_LENGTH", "0"}}).output, kPlain + kBanner);
    EXPECT_EQ(site_.Run(nullptr, std::string("\0|test", 6)).output, kPlain + kBanner);
}

TEST_F(Endpoint, TestRequestAnswersTheBanner) {
    const CgiResult r = site_.Run(nullptr, "|test");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, kPlain + kBanner);
    // Only the first word selects; the rest is not read.
    EXPECT_EQ(site_.Run(nullptr, "|test|more words\r\nobj|x").output, kPlain + kBanner);
    // A body shorter than its stated length ends where it ends: in a process that answers one
    // request after another, nothing of a longer body before it shows behind it.
    site_.Run(nullptr, "|testing");
    EXPECT_EQ(site_.Run(nullptr, "|test", {{"CONTENT_LENGTH", "8"}}).output, kPlain + kBanner);
}

// A connected socket as standard input is still a CGI run: only a listening one starts the
// FastCGI loop.
TEST_F(Endpoint, SocketStreamsAreACgiRunAsPipesAre) {
    CgiRequest request;
    request.env = {{"CONTENT_LENGTH", "5"}};
    request.stdinData = "|test";
    request.socketStreams = true;
    const CgiResult r = site_.Run(request);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, kPlain + kBanner);
}

TEST_F(Endpoint, UnknownRequestGetsAnErrorReply) {
    const CgiResult r = site_.Run(nullptr, "|TEST");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, kPlain + "|ACK_ERR|\\24:Unknown request TEST (1)");
}

TEST_F(Endpoint, NonArchiveBodiesGetTheTokenizerErrorReply) {
    CgiResult r = site_.Run(nullptr, "hello");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, kPlain +
                            "|ACK_ERR|\\89:CKvTokenizerException: Bad character after reading "
                            "array of bytes. \"|\" or \"\\n\" expected.\n");
    // A tag where the request name should be.
    r = site_.Run(nullptr, "\r\nobj|x");
    EXPECT_EQ(
        r.output,
        kPlain + "|ACK_ERR|\\60:CKvTokenizerException: Unexpected input. Word was Expected.\n");
    // A length prefix far beyond the body is refused without reading or allocating it.
    r = site_.Run(nullptr, "|\\99999999999:abc");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.output.find("|ACK_ERR|"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("CKvTokenizerException: "), std::string::npos) << r.output;
}

TEST_F(Endpoint, ErrorsReachTheDiagnosticLog) {
    site_.Run(nullptr, "|TEST");
    EXPECT_NE(site_.Data("quar_nbx.log").find(": Unknown request TEST (1)\n"), std::string::npos);
}

TEST_F(Endpoint, OversizedBodyIsRefused) {
    const CgiResult r = site_.Run(nullptr, "|test", {{"CONTENT_LENGTH", "4294967296000"}});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output.rfind(kPlain + "|ACK_ERR|", 0), 0u) << r.output;
    EXPECT_NE(r.output.find("exceeds the limit of 8388608 bytes."), std::string::npos);
}

TEST_F(Endpoint, TestInputModeReadsTstinAndWritesNoHeader) {
    struct Case {
        const char* tstin;  // null: no such file
        std::string output;
    };
    const Case cases[] = {
        {"|test", kBanner},
        {"", kBanner},
        {"|TEST", "|ACK_ERR|\\24:Unknown request TEST (1)"},
        {nullptr, "|ACK_ERR|\\53:Can't open stdin, error 2 (No such file or directory)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tstin ? c.tstin : "(no tstin)");
        if (c.tstin) {
            site_.dir().Write("cgi/tstin", c.tstin);
        } else {
            std::remove(site_.cgi("tstin").c_str());
        }
        const CgiResult r = site_.Run(nullptr, "|ignored", {{"QUAR_TEST_INPUT", "1"}});
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.output, c.output);
    }
}
