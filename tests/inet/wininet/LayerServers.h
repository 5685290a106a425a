// The servers of the platform library's tests, started once per test program: lighttpd on a
// plain port and two TLS ports (a certificate for 127.0.0.1, and one for another name; the file
// trusted.crt holds both), and tinyproxy that lets proxyuser:pr0xy-pass through.
#pragma once

#include <memory>
#include <string>

#include "support/LoopbackServers.h"
#include "support/TempDir.h"

struct LayerServers {
    TempDir dir;  // www/ is the document root
    int port = FreeLoopbackPort();
    int tlsPort = FreeLoopbackPort();
    int otherNamePort = FreeLoopbackPort();
    std::unique_ptr<Lighttpd> lighttpd;
    std::unique_ptr<Tinyproxy> proxy;

    // Starts both once the test program has written its files below www/. Every site has
    // /moved (302 to /index.txt), /to-tls (302 to https://127.0.0.1:tlsPort/index.txt) and
    // /page.gz sent with Content-Encoding: gzip; `redirects` are more entries of the same
    // url.redirect list (", \"^/x$\" => \"/y\""), `config` more configuration.
    void Start(const std::string& redirects, const std::string& config);
    // Makes the platform library trust both certificates, or only the system's authorities.
    void TrustTestCertificates(bool trusted) const;
};
