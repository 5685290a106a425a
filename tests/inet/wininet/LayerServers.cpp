#include "LayerServers.h"

#include <stdlib.h>

#include <vector>

void LayerServers::Start(const std::string& redirects, const std::string& config) {
    MakeSelfSignedCertificate(dir / "ip.pem", dir / "ip.crt", "IP:127.0.0.1");
    MakeSelfSignedCertificate(dir / "name.pem", dir / "name.crt", "DNS:quar.invalid");
    dir.Write("trusted.crt", dir.Read("ip.crt") + dir.Read("name.crt"));
    const std::string site =
        "url.redirect = (\"^/moved$\" => \"/index.txt\", \"^/to-tls$\" => "
        "\"https://127.0.0.1:" +
        std::to_string(tlsPort) + "/index.txt\"" + redirects +
        ")\nurl.redirect-code = 302\n"
        "$HTTP[\"url\"] == \"/page.gz\" {\n"
        "  setenv.add-response-header = (\"Content-Encoding\" => \"gzip\")\n}\n";
    lighttpd = std::make_unique<Lighttpd>(
        dir / "www", port,
        std::vector<TlsSocket>{{tlsPort, dir / "ip.pem"}, {otherNamePort, dir / "name.pem"}},
        site + config);
    proxy = std::make_unique<Tinyproxy>("proxyuser", "pr0xy-pass");
}

void LayerServers::TrustTestCertificates(bool trusted) const {
    if (trusted) {
        setenv("QUAR_WININET_CAFILE", (dir / "trusted.crt").c_str(), 1);
    } else {
        unsetenv("QUAR_WININET_CAFILE");
    }
}
