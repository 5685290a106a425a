#include "ServerConfig.h"

#include "runtime/RequestInput.h"

namespace {

// Debian's place for Apache's loadable modules.
constexpr const char* kApacheModules = "/usr/lib/apache2/modules";

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Headers added to the programs' answers: pages with contact data are not kept by a browser
// or a proxy (Back after logout shows nothing), no other site may frame them or learn their
// addresses (which carry the session token), and nothing is taken for another type. The
// referrer goes to the pages' own origin only, not nowhere: with "no-referrer" a browser names
// the origin of the pages' own forms "null", like that of a forged form, and the programs
// could no longer tell the two apart.
struct ServedHeader {
    const char* name;
    const char* value;
};
constexpr ServedHeader kServedHeaders[] = {
    {"Cache-Control", "no-store"},
    {"X-Frame-Options", "DENY"},
    {"Content-Security-Policy", "frame-ancestors 'none'"},
    {"Referrer-Policy", "same-origin"},
    {"X-Content-Type-Options", "nosniff"},
};

std::string LighttpdConfiguration(const ServeLayout& layout) {
    const std::string cgi = layout.cgiDirectory + "/";
    const std::string tmp = layout.stateDirectory + "/tmp";
    std::string conf;
    conf +=
        "server.modules = ( \"mod_redirect\", \"mod_access\", \"mod_alias\", \"mod_cgi\", "
        "\"mod_setenv\" )\n";
    conf += "server.bind = \"127.0.0.1\"\n";
    if (!layout.user.empty()) {
        // Started by root, lighttpd gives up root for this account, which runs the programs.
        conf += "server.username = " + Quoted(layout.user) + "\n";
        conf += "server.groupname = " + Quoted(layout.user) + "\n";
    }
    conf += "server.port = " + std::to_string(layout.port) + "\n";
    conf += "server.document-root = " + Quoted(layout.cgiDirectory) + "\n";
    conf += "server.errorlog = " + Quoted(layout.stateDirectory + "/lighttpd-error.log") + "\n";
    conf += "server.upload-dirs = ( " + Quoted(tmp) + " )\n";
    conf += "# Bodies above the programs' own limit are refused (413) before they are spooled.\n";
    conf += "server.max-request-size = " + std::to_string(kMaxContentLength / 1024) + "\n";
    conf += "url.redirect = ( \"^/$\" => \"/cgi-bin/quarnbxadmin\" )\n";
    conf += "alias.url = ( \"/cgi-bin/\" => " + Quoted(cgi) + " )\n";
    conf += "$HTTP[\"url\"] =~ \"^/cgi-bin/quarnbx(admin|pic)?$\" {\n";
    conf += "    cgi.assign = ( \"\" => \"\" )\n";
    conf += "    setenv.set-response-header = (";
    const char* separator = " ";
    for (const ServedHeader& header : kServedHeaders) {
        conf += separator + Quoted(header.name) + " => " + Quoted(header.value);
        separator = ", ";
    }
    conf += " )\n";
    conf += "} else {\n";
    conf += "    url.access-deny = ( \"\" )\n";
    conf += "}\n";
    conf += "setenv.set-environment = ( \"QUAR_MACHINE_REGISTRY\" => " +
            Quoted(layout.registryFile) + ", \"TMP\" => " + Quoted(tmp) + " )\n";
    return conf;
}

std::string ApacheConfiguration(const ServeLayout& layout) {
    const std::string state = layout.stateDirectory;
    const std::string modules = kApacheModules;
    std::string conf;
    conf += "ServerName 127.0.0.1\n";
    conf += "Listen 127.0.0.1:" + std::to_string(layout.port) + "\n";
    conf += "PidFile " + Quoted(state + "/apache.pid") + "\n";
    conf += "ErrorLog " + Quoted(state + "/apache-error.log") + "\n";
    conf += "LogLevel warn\n";
    for (const char* module : {"mpm_event", "cgid", "alias", "env", "authz_core", "headers"}) {
        conf +=
            "LoadModule " + std::string(module) + "_module " + modules + "/mod_" + module + ".so\n";
    }
    conf += "ScriptSock " + Quoted(state + "/cgid.sock") + "\n";
    if (!layout.user.empty()) {
        conf += "User " + layout.user + "\nGroup " + layout.user + "\n";
    }
    conf += "# Bodies above the programs' own limit are refused (413) before they are read.\n";
    conf += "LimitRequestBody " + std::to_string(kMaxContentLength) + "\n";
    conf += "DocumentRoot " + Quoted(layout.cgiDirectory) + "\n";
    conf += "<Directory />\n    Require all denied\n</Directory>\n";
    conf += "RedirectMatch ^/$ /cgi-bin/quarnbxadmin\n";
    conf += "ScriptAlias /cgi-bin/ " + Quoted(layout.cgiDirectory + "/") + "\n";
    conf += "<Directory " + Quoted(layout.cgiDirectory) + ">\n";
    conf += "    Options None\n";
    conf += "    Require all denied\n";
    conf += "    <FilesMatch \"^quarnbx(admin|pic)?$\">\n";
    conf += "        Require all granted\n";
    for (const ServedHeader& header : kServedHeaders) {
        conf += "        Header always set " + std::string(header.name) + " " +
                Quoted(header.value) + "\n";
    }
    conf += "    </FilesMatch>\n";
    conf += "</Directory>\n";
    conf += "SetEnv QUAR_MACHINE_REGISTRY " + Quoted(layout.registryFile) + "\n";
    conf += "SetEnv TMP " + Quoted(state + "/tmp") + "\n";
    return conf;
}

}  // namespace

bool ParseWebServer(const std::string& name, WebServer& server) {
    if (name == "lighttpd") {
        server = WebServer::Lighttpd;
    } else if (name == "apache") {
        server = WebServer::Apache;
    } else {
        return false;
    }
    return true;
}

std::string ServerConfiguration(WebServer server, const ServeLayout& layout) {
    return server == WebServer::Lighttpd ? LighttpdConfiguration(layout)
                                         : ApacheConfiguration(layout);
}
