// The connection options record and the connection's settings operations over a private user
// registry file: defaults, what is stored and how, what is read back, the browser's proxy.
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "FileBytes.h"
#include "QuarInet.h"
#include "support/RawServer.h"
#include "support/TempDir.h"

namespace {

class OptionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("QUAR_USER_REGISTRY", registry().c_str(), 1);
        unsetenv("http_proxy");
    }
    std::string registry() const { return dir_ / "user.reg"; }
    std::string Stored() const { return ReadFile(registry()); }

    TempDir dir_;
};

// The record's settings, comparable as a whole.
struct Fields {
    int useBrowser, proxy;
    std::string address;
    uint32_t port;
    int authorization;
    std::string log, password;
    bool operator==(const Fields& o) const {
        return useBrowser == o.useBrowser && proxy == o.proxy && address == o.address &&
               port == o.port && authorization == o.authorization && log == o.log &&
               password == o.password;
    }
};

void PrintTo(const Fields& f, std::ostream* out) {
    *out << f.useBrowser << "|" << f.proxy << "|" << f.address << "|" << f.port << "|"
         << f.authorization << "|" << f.log << "|" << f.password;
}

Fields Of(const QuarInetOptions& o) {
    return {o.UseIEsettings,      o.Proxy,    o.ProxyAddress, o.ProxyPort,
            o.ProxyAuthorization, o.ProxyLog, o.ProxyPwd};
}

const Fields kDefaults = {1, 0, "", 80, 0, "", ""};

TEST_F(OptionsTest, FreshRecordAndMissingKeyHoldTheDefaults) {
    EXPECT_EQ(kDefaults, Of(QuarInetOptions()));
    QuarInetOptions loaded("no-such-key");
    EXPECT_EQ(kDefaults, Of(loaded));
    EXPECT_TRUE(loaded.Load("no-such-key"));
    EXPECT_FALSE(loaded.Load(nullptr));
    EXPECT_FALSE(loaded.Load(""));
    EXPECT_EQ(nullptr, loaded.DialogTitle);
}

TEST_F(OptionsTest, SaveStoresTypedValuesOwnerOnlyAndLoadReadsThemBack) {
    QuarInetOptions o;
    o.UseIEsettings = 0;
    o.Proxy = 1;
    strcpy(o.ProxyAddress, "proxy.example");
    o.ProxyPort = 3128;
    o.ProxyAuthorization = 1;
    strcpy(o.ProxyLog, "user");
    strcpy(o.ProxyPwd, "a");
    ASSERT_TRUE(o.Save("app"));
    EXPECT_EQ(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\TARVELON, INC\\Quar 8\\app]\n"
        "\"Proxy\"=dword:00000001\n\"ProxyAddress\"=\"proxy.example\"\n"
        "\"ProxyAuthorization\"=dword:00000001\n\"ProxyLog\"=\"user\"\n"
        "\"ProxyPort\"=dword:00000c38\n\"ProxyPwd\"=\"YQ==\"\n\"UseIEsettings\"=dword:00000000\n",
        Stored());
    struct stat st;
    ASSERT_EQ(0, stat(registry().c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777) << "the file holds the proxy password";

    // What Save wrote is what a later Load (and so CreateRequest) reads.
    EXPECT_EQ(Of(o), Of(QuarInetOptions("app")));
}

TEST_F(OptionsTest, LoadPrefersTheCurrentKeyAndFallsBackToTheOlderOne) {
    const std::string older =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\TARVELON, INC\\Quar 7\\app]\n"
        "\"UseIEsettings\"=dword:00000000\n\"ProxyAddress\"=\"old\"\n"
        "\"ProxyPort\"=\"not a number\"\n\"Proxy\"=\"1\"\n\"ProxyLog\"=dword:00000001\n";
    WriteFile(registry(), older);
    QuarInetOptions fromOlder("app");
    // Values of the wrong type (port, proxy switch, user name) take their defaults.
    EXPECT_EQ((Fields{0, 0, "old", 80, 0, "", ""}), Of(fromOlder));

    strcpy(fromOlder.ProxyAddress, "new");
    ASSERT_TRUE(fromOlder.Save("app"));
    EXPECT_STREQ("new", QuarInetOptions("app").ProxyAddress);
}

TEST_F(OptionsTest, PasswordsOfEveryLengthSurviveSaveAndLoad) {
    for (size_t length : {0u, 1u, 2u, 3u, 4u, 192u, 193u, 259u}) {
        SCOPED_TRACE(length);
        QuarInetOptions o;
        std::string password;
        for (size_t i = 0; i < length; ++i) {
            password += static_cast<char>(' ' + (i * 7) % 95);
        }
        strcpy(o.ProxyPwd, password.c_str());
        ASSERT_TRUE(o.Save("pw"));
        EXPECT_EQ(password, QuarInetOptions("pw").ProxyPwd);
    }
}

TEST_F(OptionsTest, StoredTextsTooLongForTheRecordTakeTheirDefault) {
    WriteFile(registry(),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\TARVELON, INC\\Quar 8\\app]\n"
              "\"ProxyAddress\"=\"" +
                  std::string(260, 'h') +
                  "\"\n"
                  "\"ProxyLog\"=\"" +
                  std::string(259, 'u') + "\"\n");
    QuarInetOptions o("app");
    EXPECT_STREQ("", o.ProxyAddress);
    EXPECT_EQ(std::string(259, 'u'), o.ProxyLog);
}

TEST_F(OptionsTest, KeyNamesThatDoNotFitOneKeyLineAreRefused) {
    struct Case {
        std::string name;
        bool usable;
    };
    const Case cases[] = {
        {std::string(229, 'k'), true},
        {std::string(230, 'k'), false},
        {"", false},
        {"app\r", false},
        {"app\nX", false},
        {"app]\n[HKEY_CURRENT_USER\\Forged", false},
        {"a[b", false},
        {"a\tb", false},
        {"sub\\key", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QuarInetOptions o;
        EXPECT_EQ(c.usable, o.Save(c.name.c_str()));
        EXPECT_EQ(c.usable, o.Load(c.name.c_str()));
    }
    EXPECT_FALSE(QuarInetOptions().Save(nullptr));
    EXPECT_EQ(std::string::npos, ReadFile(registry()).find("Forged"));
}

TEST_F(OptionsTest, ImportOfTheBrowserProxy) {
    struct Case {
        const char* server;  // null: no Internet Settings key, http_proxy instead
        const char* httpProxy;
        int enable;
        const char* address;
        uint32_t port;
    };
    const Case cases[] = {
        {"", nullptr, 1, "", 80},
        {"proxy.example:8080", nullptr, 1, "proxy.example", 8080},
        {"ftp=f:21;http=h.example:3128;https=s:443", nullptr, 0, "h.example", 3128},
        {"justahost", nullptr, 1, "justahost", 80},
        {"host:", nullptr, 1, "host", 0},
        {nullptr, "http://user:pw@cache.example:3129/", 1, "cache.example", 3129},
        {nullptr, nullptr, 0, "", 80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server ? c.server : c.httpProxy ? c.httpProxy : "(none)");
        if (c.server != nullptr) {
            WriteFile(registry(),
                      std::string("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Microsoft\\"
                                  "Windows\\CurrentVersion\\Internet Settings]\n"
                                  "\"ProxyEnable\"=dword:0000000") +
                          std::to_string(c.enable) + "\n\"ProxyServer\"=\"" + c.server + "\"\n");
        } else {
            remove(registry().c_str());
        }
        if (c.httpProxy != nullptr) {
            setenv("http_proxy", c.httpProxy, 1);
        } else {
            unsetenv("http_proxy");
        }
        // Only the lower-case name counts: under CGI the upper-case one comes from a request.
        setenv("HTTP_PROXY", "http://wrong.example:1/", 1);
        QuarInetOptions o;
        o.ProxyAuthorization = 1;
        strcpy(o.ProxyLog, "u");
        ASSERT_TRUE(o.ImportIESettings());
        unsetenv("HTTP_PROXY");
        EXPECT_EQ((Fields{0, c.enable, c.address, c.port, 0, "", ""}), Of(o));
    }
}

TEST_F(OptionsTest, ConfigureWithValuesBoundsTextsAndReportsTheStore) {
    QuarInetHttpConnection connection("cfg");
    const std::string fits(259, 'a');
    const std::string tooLong(260, 'a');
    ASSERT_TRUE(connection.Configure(0, 1, fits.c_str(), 8080, 1, "user", nullptr));
    QuarInetOptions stored("cfg");
    EXPECT_EQ(fits, stored.ProxyAddress);
    EXPECT_STREQ("", stored.ProxyPwd);
    for (int field = 0; field < 3; ++field) {
        EXPECT_FALSE(connection.Configure(0, 0, field == 0 ? tooLong.c_str() : "h", 1, 0,
                                          field == 1 ? tooLong.c_str() : "u",
                                          field == 2 ? tooLong.c_str() : "p"));
    }
    EXPECT_EQ(fits, QuarInetOptions("cfg").ProxyAddress) << "a refused call stores nothing";

    // A store that fails is reported, not taken for success.
    setenv("QUAR_USER_REGISTRY", "/proc/no-such-dir/user.reg", 1);
    EXPECT_FALSE(connection.Configure(0, 0, "h", 1, 0, "u", "p"));
    // Without a display the dialog answers Cancel and nothing is stored.
    EXPECT_FALSE(connection.Configure("Caption", nullptr));
}

TEST_F(OptionsTest, ConnectionCopiesImportedSettingsAndMakesSocketRequests) {
    QuarInetHttpConnection source("source");
    ASSERT_TRUE(source.Configure(0, 1, "p.example", 3128, 0, "", ""));
    QuarInetHttpConnection copy("copy", "source");
    EXPECT_STREQ("p.example", QuarInetOptions("copy").ProxyAddress);
    // An import key without settings leaves the key's own as they are.
    QuarInetHttpConnection again("copy", "never-stored");
    EXPECT_STREQ("p.example", QuarInetOptions("copy").ProxyAddress);
    EXPECT_EQ(1, QuarInetOptions("copy").Proxy);
    // Settings of the caller's own for one request: nothing is stored.
    RawServer proxy({RawReply::Plain("HTTP/1.0 200 OK\r\n\r\nvia")});
    QuarInetOptions own;
    own.UseIEsettings = 0;
    own.Proxy = 1;
    std::strcpy(own.ProxyAddress, "127.0.0.1");
    own.ProxyPort = proxy.port();
    std::unique_ptr<QuarInetHttpRequest> viaOwn(copy.CreateRequest(nullptr, own));
    ASSERT_NE(nullptr, viaOwn);
    ASSERT_EQ(0u, viaOwn->Send("example.invalid", 80, "GET", "/x", nullptr, 0, nullptr, 0));
    char* headers = nullptr;
    char* body = nullptr;
    uint32_t headersLength = 0, bodyLength = 0;
    EXPECT_EQ(0u, viaOwn->Receive(headers, headersLength, body, bodyLength));
    QuarInetFree(headers);
    QuarInetFree(body);
    ASSERT_EQ(1u, proxy.Requests().size());
    EXPECT_EQ(0u, proxy.Requests()[0].rfind("GET http://example.invalid:80/x HTTP/1.0\r\n", 0));
    EXPECT_EQ(0, QuarInetOptions("copy").UseIEsettings) << "the stored settings stay";
    // Browser settings without the platform internet library: the socket client.
    QuarInetHttpConnection browser("browser");
    QuarInetHttpRequest* request = browser.CreateRequest(nullptr);
    ASSERT_NE(nullptr, request);
    EXPECT_EQ(80u, request->Port);
    EXPECT_EQ(nullptr, request->Host);
    delete request;
}

}  // namespace
