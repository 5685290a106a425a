// The credentials dialog's prompt: who asks, for which realm, and a refused password.
#include "inet/dialog/CredentialsPrompt.h"

#include <gtest/gtest.h>

#include <string>

namespace inet {
namespace {

TEST(CredentialsPrompt, RealmComesFromTheChallengeOfWhoAsks) {
    const struct {
        std::string headers;
        bool proxy;
        std::string realm;
    } cases[] = {
        {"HTTP/1.0 407 No\r\nProxy-Authenticate: Basic realm=\"Office proxy\"\r\n\r\n", true,
         "Office proxy"},
        {"HTTP/1.0 401 No\r\nwww-authenticate: Basic Realm=\"Files\", charset=\"UTF-8\"\r\n", false,
         "Files"},
        {"HTTP/1.0 401 No\r\nWWW-Authenticate: Basic realm=plain, x=1\r\n", false, "plain"},
        {"HTTP/1.0 401 No\r\nWWW-Authenticate: Basic realm=\"a \\\"q\\\" b\"\r\n", false,
         "a \"q\" b"},
        // the proxy's challenge does not answer for the server, nor the other way round
        {"HTTP/1.0 401 No\r\nProxy-Authenticate: Basic realm=\"P\"\r\n", false, ""},
        {"HTTP/1.0 407 No\r\nWWW-Authenticate: Basic realm=\"S\"\r\n", true, ""},
        {"HTTP/1.0 401 No\r\nWWW-Authenticate: Basic\r\n", false, ""},
        // a stranger's text: no control characters, at most 64 bytes
        {"HTTP/1.0 401 No\r\nWWW-Authenticate: Basic realm=\"a\tb\x1b[2J\"\r\n", false, "a b [2J"},
        {("HTTP/1.0 401 No\r\nWWW-Authenticate: Basic realm=\"" + std::string(100, 'r') + "\"\r\n"),
         false, std::string(64, 'r')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChallengeRealm(c.headers, c.proxy), c.realm) << c.headers;
    }
}

TEST(CredentialsPrompt, NamesWhoAsksTheRealmAndARefusal) {
    const struct {
        bool proxy;
        const char* who;
        const char* realm;
        bool refused;
        const char* prompt;
    } cases[] = {
        {true, "127.0.0.1:3128", "Office", false,
         "The proxy 127.0.0.1:3128 wants a user name and password for \"Office\"."},
        {true, "127.0.0.1:3128", "Office", true,
         "The password was refused. The proxy 127.0.0.1:3128 wants a user name and password "
         "for \"Office\"."},
        {false, "files.example:8080", "", false,
         "files.example:8080 wants a user name and password."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CredentialsPrompt(c.proxy, c.who, c.realm, c.refused), c.prompt);
    }
}

}  // namespace
}  // namespace inet
