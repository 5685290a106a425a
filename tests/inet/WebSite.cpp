#include "WebSite.h"

namespace {

// Echoes what the CGI saw of the request, then the body.
constexpr const char* kEchoCgi =
    "printf 'Content-Type: text/plain\\r\\n\\r\\n'\n"
    "printf 'method=%s\\n' \"$REQUEST_METHOD\"\n"
    "printf 'uri=%s\\n' \"$REQUEST_URI\"\n"
    "printf 'type=%s\\n' \"$CONTENT_TYPE\"\n"
    "printf 'length=%s\\n' \"$CONTENT_LENGTH\"\n"
    "printf 'proxy-authorization=%s\\n\\n' \"$HTTP_PROXY_AUTHORIZATION\"\n"
    "head -c \"${CONTENT_LENGTH:-0}\"\n";

// Fills the document root below `dir` and gives the configuration that serves it.
std::string SiteConfig(const TempDir& dir,
                       const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, content] : files) {
        dir.Write("www/" + name, content);
    }
    dir.Write("www/echo.cgi", kEchoCgi);
    dir.Write("www/private/secret.txt", "secret\n");
    dir.Write("users", std::string(WebSite::kUser) + "\n");
    return "server.max-connections = 256\n"
           "server.modules += (\"mod_auth\", \"mod_authn_file\", \"mod_cgi\")\n"
           "cgi.assign = (\".cgi\" => \"/bin/sh\")\n"
           "auth.backend = \"plain\"\n"
           "auth.backend.plain.userfile = \"" +
           (dir / "users") +
           "\"\n"
           "auth.require = (\"/private/\" => (\"method\" => \"basic\", \"realm\" => \"quar\","
           " \"require\" => \"valid-user\"))\n"
           "$HTTP[\"url\"] =~ \"\\.gz$\" {\n"
           "  setenv.set-response-header = (\"Content-Encoding\" => \"gzip\")\n"
           "}\n"
           "$HTTP[\"url\"] == \"/r301\" { url.redirect = (\"\" => \"/hello.txt\")\n"
           "  url.redirect-code = 301 }\n"
           "$HTTP[\"url\"] == \"/r302\" { url.redirect = (\"\" => \"/hello.txt\")\n"
           "  url.redirect-code = 302 }\n"
           "$HTTP[\"url\"] == \"/dir/r307\" { url.redirect = (\"\" => \"../hello.txt\")\n"
           "  url.redirect-code = 307 }\n"
           "$HTTP[\"url\"] == \"/loop\" { url.redirect = (\"\" => \"/loop\")\n"
           "  url.redirect-code = 302 }\n";
}

}  // namespace

WebSite::WebSite(const std::vector<std::pair<std::string, std::string>>& files)
    : server_(dir_ / "www", 0, {}, SiteConfig(dir_, files)) {}
