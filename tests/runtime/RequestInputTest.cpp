#include <gtest/gtest.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "platform/Env.h"
#include "runtime/ProgramDirectory.h"
#include "runtime/RequestInput.h"
#include "runtime/RequestTable.h"
#include "runtime/RunRequest.h"
#include "support/FaultyEnv.h"
#include "support/TempDir.h"

TEST(QueryString, SplitsAtBarOrUpperCaseEscape) {
    RequestName r = SplitQueryString("main|123", Env::Default());
    EXPECT_EQ(r.name, "main");
    EXPECT_EQ(r.token, "123");
    r = SplitQueryString("main%7C123", Env::Default());
    EXPECT_EQ(r.name, "main");
    EXPECT_EQ(r.token, "123");
    r = SplitQueryString("a|b%7Cc|d", Env::Default());
    EXPECT_EQ(r.name, "a");
    EXPECT_EQ(r.token, "b%7Cc|d");
}

TEST(QueryString, MissingTokenIsGeneratedAndUnguessable) {
    RequestName r = SplitQueryString("main%7c123", Env::Default());
    EXPECT_EQ(r.name, "main%7c123");
    EXPECT_EQ(r.token.size(), 32u);
    r = SplitQueryString("main|", Env::Default());
    EXPECT_EQ(r.name, "main");
    EXPECT_EQ(r.token.find_first_not_of("0123456789abcdef"), std::string::npos);
    std::set<std::string> tokens;
    for (int i = 0; i < 100; ++i) {
        tokens.insert(SplitQueryString("main", Env::Default()).token);
    }
    EXPECT_EQ(tokens.size(), 100u);
}

TEST(RequestToken, ComesFromTheRandomSourceOrElseFromTimeAndProcess) {
    struct Case {
        std::string random;  // empty: the source fails
        std::time_t now;
        std::string token;  // empty: any 32 hexadecimal digits
    };
    const std::vector<Case> cases = {
        {"\x01\x23\x45\x67\x89\xab\xcd\xef", 1, "0123456789abcdef0123456789abcdef"},
        {"\xff", 1, "ffffffffffffffffffffffffffffffff"},
        {"", 1249049100, ""},
        {"", 1249049101, ""},
    };
    std::set<std::string> fallbacks;
    for (const Case& c : cases) {
        FaultyEnv env;
        env.SetRandomBytes(c.random);
        env.SetNow(c.now);
        const std::string token = GenerateRequestToken(env);
        if (c.token.empty()) {
            EXPECT_EQ(token.size(), 32u);
            EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos) << token;
            EXPECT_EQ(token, GenerateRequestToken(env));  // nothing but time and process
            fallbacks.insert(token);
        } else {
            EXPECT_EQ(token, c.token);
        }
    }
    EXPECT_EQ(fallbacks.size(), 2u);  // another second, another token
}

TEST(QueryString, NoQueryGivesEmptyNameAndToken) {
    const RequestName r = SplitQueryString(nullptr, Env::Default());
    EXPECT_TRUE(r.name.empty());
    EXPECT_TRUE(r.token.empty());
}

TEST(ContentLength, LeadingDigitsWithinTheLimit) {
    EXPECT_EQ(ParseContentLength("12"), 12u);
    EXPECT_EQ(ParseContentLength("12abc"), 12u);
    EXPECT_EQ(ParseContentLength("abc"), 0u);
    EXPECT_EQ(ParseContentLength("-5"), 0u);
    EXPECT_EQ(ParseContentLength(""), 0u);
    EXPECT_EQ(ParseContentLength(std::to_string(kMaxContentLength).c_str()), kMaxContentLength);
    EXPECT_FALSE(ParseContentLength(std::to_string(kMaxContentLength + 1).c_str()));
    EXPECT_FALSE(ParseContentLength("999999999999999999999999999999"));
}

TEST(ReadBody, ReadsUntilTheLengthOrTheEnd) {
    std::FILE* f = std::tmpfile();
    std::fputs("hello world", f);
    std::rewind(f);
    EXPECT_EQ(ReadBody(f, 5), "hello");
    f = std::tmpfile();
    std::fputs("short", f);
    std::rewind(f);
    EXPECT_EQ(ReadBody(f, 3000), "short");
}

TEST(RequestBodyRead, LengthTextSourceAndLimit) {
    const TempDir dir;
    dir.Write("body", "hello world");
    const std::string body = dir / "body";
    const std::string missing = dir / "missing";
    const std::string tooLong = std::to_string(kMaxContentLength + 1);
    using Outcome = RequestBody::Outcome;
    struct Case {
        const char* lengthText;
        const char* path;
        Outcome outcome;
        const char* bytes;
        int error;
    };
    const Case cases[] = {
        {nullptr, body.c_str(), Outcome::kNoLength, "", 0},
        {"5", body.c_str(), Outcome::kRead, "hello", 0},
        {"3000", body.c_str(), Outcome::kRead, "hello world", 0},
        {"", body.c_str(), Outcome::kRead, "", 0},
        {"3000", missing.c_str(), Outcome::kCannotOpen, "", ENOENT},
        // Refused before the source is opened: a missing file does not matter.
        {tooLong.c_str(), missing.c_str(), Outcome::kTooLong, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lengthText ? c.lengthText : "(none)");
        const RequestBody read = ReadRequestBody(c.lengthText, c.path);
        EXPECT_EQ(read.outcome, c.outcome);
        EXPECT_EQ(read.bytes, c.bytes);
        EXPECT_EQ(read.error, c.error);
    }
}

TEST(ClientAddress, ForwardedForWinsAndHidesRemoteHost) {
    ::setenv("HTTP_X_FORWARDED_FOR", "10.0.0.1, 10.0.0.2", 1);
    ::setenv("REMOTE_ADDR", "127.0.0.1", 1);
    ::setenv("REMOTE_HOST", "proxy.local", 1);
    ClientAddresses a = ReadClientAddresses();
    EXPECT_EQ(a.client, "10.0.0.1, 10.0.0.2");
    EXPECT_EQ(a.proxy, "127.0.0.1");
    EXPECT_EQ(a.remoteHost, "");
    ::unsetenv("HTTP_X_FORWARDED_FOR");
    a = ReadClientAddresses();
    EXPECT_EQ(a.client, "127.0.0.1");
    EXPECT_EQ(a.proxy, "");
    EXPECT_EQ(a.remoteHost, "proxy.local");
    ::unsetenv("REMOTE_ADDR");
    ::unsetenv("REMOTE_HOST");
    a = ReadClientAddresses();
    EXPECT_EQ(a.client, "");
}

TEST(ProgramDirectoryOf, KeepsTheLastSlashAndNeedsOneAfterTheStart) {
    EXPECT_EQ(ProgramDirectory("/srv/cgi-bin/quarnbxpic"), "/srv/cgi-bin/");
    EXPECT_EQ(ProgramDirectory("quarnbxpic"), "");
    EXPECT_EQ(ProgramDirectory("/quarnbxpic"), "");
    EXPECT_EQ(ProgramDirectory(nullptr), "");
}

namespace {
// An application whose Fatal replies with its message, so that a run tells what ran.
struct Recorder {
    Reply Fatal(const char* format, ...) {
        char text[256];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        return Reply::Error(text);
    }
};
Reply NoOp(Recorder&) {
    return Reply::None();
}
Reply SayB(Recorder&) {
    return Reply::Text("ran b");
}
Reply SayFirst(Recorder&) {
    return Reply::Text("first page");
}
const RequestEntry<Recorder> kTable[] = {{"a", NoOp}, {"b", NoOp}, {"c", NoOp}, {nullptr, nullptr}};
const RequestEntry<Recorder> kSayingRows[] = {{"a", NoOp}, {"b", SayB}, {nullptr, nullptr}};
}  // namespace

TEST(RequestDispatch, RunsTheRowOrTheEmptyNameHandlerOrEndsInFatal) {
    const RequestTable<Recorder> withFirstPage = {kSayingRows, SayFirst};
    const RequestTable<Recorder> rowsOnly = {kSayingRows, nullptr};
    struct Case {
        const RequestTable<Recorder>* table;
        const char* name;
        Reply::Kind kind;
        const char* says;
    };
    const Case cases[] = {
        {&withFirstPage, "b", Reply::Kind::kText, "ran b"},
        {&withFirstPage, "", Reply::Kind::kText, "first page"},
        {&rowsOnly, "", Reply::Kind::kError, "Unknown request  (2)"},
        {&withFirstPage, "B", Reply::Kind::kError, "Unknown request B (2)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder app;
        const Reply reply = RunRequest(app, *c.table, c.name);
        EXPECT_EQ(reply.kind, c.kind);
        EXPECT_EQ(reply.text, c.says);
    }
}

TEST(RequestTableWalk, ExactCaseSensitiveMatchAndRowCount) {
    int walked = 0;
    EXPECT_EQ(FindRequest(kTable, "b", &walked), &kTable[1]);
    EXPECT_EQ(walked, 2);
    EXPECT_EQ(FindRequest(kTable, "B", &walked), nullptr);
    EXPECT_EQ(walked, 3);
    EXPECT_EQ(FindRequest(kTable, "", &walked), nullptr);
}
