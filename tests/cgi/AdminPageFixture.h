// A logged-in installation of quarnbxadmin for black-box tests of the pages behind the login:
// settings and session files written directly, small prototypes that show exactly the
// variables a page sets, and the event log read back line by line.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "admin/AdminSession.h"
#include "platform/Env.h"
#include "settings/ServerSettings.h"
#include "settings/SettingsStore.h"
#include "support/CgiSite.h"

class AdminPageFixture : public ::testing::Test {
  protected:
    static constexpr const char* kClient = "10.1.1.1";
    static constexpr const char* kToken = "tok";
    // The longest a page may take before the program counts as hanging.
    static constexpr int kAnswerSeconds = 20;

    AdminPageFixture() : site_(QUARNBXADMIN) {
        site_.dir().Write("cgi/quar_init.htx", "INIT[<%err_msg%>]");
        site_.dir().Write("cgi/quar_login.htx", "LOGIN[<%err_msg%>]");
        site_.dir().Write("cgi/quar_error.htx", "ERROR[<%err_msg%>]");
    }

    // Stores settings with the given changes applied to a set-up server's values.
    template <typename Change>
    void Initialise(Change change) {
        ServerSettings s;
        s.Reset();
        s.companyName = "Acme";
        s.adminName = "Jo";
        s.adminPhone = "555";
        s.adminPassword = "secret";
        change(s);
        ASSERT_TRUE(SaveServerSettings(s, site_.data(""), Env::Default()));
    }
    void Initialise() {
        Initialise([](ServerSettings&) {});
    }

    ServerSettings Stored() const {
        ServerSettings s;
        EXPECT_TRUE(LoadServerSettings(s, site_.data(""), Env::Default()));
        return s;
    }

    // The requester's own session, active now.
    void LogIn(std::uint32_t lastActivity = Now()) { WriteSession(kClient, kToken, lastActivity); }

    // A stored session of any client and token.
    void WriteSession(const std::string& client, const std::string& token,
                      std::uint32_t lastActivity, const std::string& proxy = "") {
        AdminSession session;
        session.version = AdminSession::kVersion;
        session.clientAddress = client;
        session.proxyAddress = proxy;
        session.token = token;
        session.lastActivity = lastActivity;
        site_.dir().Write("data/quar_session.dat", StoreSession(session));
    }

    // The page body of a request with the session's token from the session's client.
    std::string Page(const std::string& request, const std::string& body = "") {
        return Answer((request + "|" + kToken).c_str(), body, kClient);
    }

    // The page body of a request with any query string (or none) from any client.
    std::string Answer(const char* query, const std::string& body, const char* client) {
        return Answer(query, body, {{"REMOTE_ADDR", client}});
    }

    // The page body of a request with the given addresses (REMOTE_ADDR, HTTP_X_FORWARDED_FOR).
    std::string Answer(const char* query, const std::string& body,
                       std::map<std::string, std::string> addresses) {
        CgiRequest request;
        request.env = std::move(addresses);
        request.env["TZ"] = "UTC";
        if (query) {
            request.env["QUERY_STRING"] = query;
        }
        if (!body.empty()) {
            request.env["CONTENT_LENGTH"] = std::to_string(body.size());
        }
        request.stdinData = body;
        request.timeoutSeconds = kAnswerSeconds;  // a program that hangs fails, not the run
        request.runAsUid = runAsUid_;
        const CgiResult r = site_.Run(std::move(request));
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.exitStatus, 0);
        const std::string header = "Content-Type: text/html\r\nPragma: no-cache\r\n\r\n";
        EXPECT_EQ(r.output.rfind(header, 0), 0u) << r.output;
        return r.output.substr(std::min(r.output.size(), header.size()));
    }

    // The lines of the event log, oldest first, without their line ends.
    std::vector<std::string> EventLines() const {
        std::vector<std::string> lines;
        std::istringstream log(site_.Data("quar_nbx_log.txt"));
        std::string line;
        while (std::getline(log, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(line);
        }
        return lines;
    }

    // The codes of the event log, oldest first.
    std::vector<std::string> EventCodes() const {
        std::vector<std::string> codes;
        for (const std::string& line : EventLines()) {
            codes.push_back(Column(line, 0));
        }
        return codes;
    }

    // Column `column` (from 0) of a log line.
    static std::string Column(const std::string& line, int column) {
        std::size_t start = 0;
        for (int i = 0; i < column; ++i) {
            start = line.find('\t', start);
            if (start == std::string::npos) {
                return std::string();
            }
            ++start;
        }
        return line.substr(start, column == 8 ? std::string::npos : line.find('\t', start) - start);
    }

    static std::uint32_t Now() { return static_cast<std::uint32_t>(std::time(nullptr)); }

    CgiSite site_;
    // When >= 0 (tests run as root): the uid the program runs as.
    int runAsUid_ = -1;
};
