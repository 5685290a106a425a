// The web site of the client tests: lighttpd on 127.0.0.1 with static files (one pre-gzipped
// ".gz" file is sent with Content-Encoding: gzip), redirects (/r301, /r302, /dir/r307 and the
// endless /loop), a Basic-authentication area /private/ and an echo CGI /echo.cgi.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "support/LoopbackServers.h"
#include "support/TempDir.h"

// tinyproxy configuration for the client tests: answers through the proxy come as the server
// sent them, without a Via header of the proxy's.
constexpr const char* kNoVia = "DisableViaHeader Yes\n";

class WebSite {
  public:
    // The files it serves (name under the document root, content).
    explicit WebSite(const std::vector<std::pair<std::string, std::string>>& files);
    int port() const { return server_.port(); }
    // "user:password" of the authentication area /private/.
    static constexpr const char* kUser = "webuser:webpass";

  private:
    TempDir dir_;  // document root and user file
    Lighttpd server_;
};
