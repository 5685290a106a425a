#include "ServerConfig.h"

#include <vector>

#include "runtime/RequestInput.h"

namespace {

constexpr const char* kPrograms[] = {"quarnbxadmin", "quarnbx", "quarnbxpic"};

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

// The socket of a program's FastCGI application.
std::string SocketOf(const ServeLayout& layout, const char* program) {
    return layout.stateDirectory + "/" + program + ".sock";
}

// lighttpd's FastCGI applications: it starts each program, four processes of each, in the CGI
// folder with the variables the programs need. Each process spends part of every request
// waiting for the web server (the request's records, the reply taken off its socket), so
// twice the processes of a two-core server keep both cores busy: 10-15% more requests a
// second than one per core.
std::string LighttpdFastCgi(const ServeLayout& layout, const std::string& tmp) {
    std::string conf = "fastcgi.server = (\n";
    for (const char* program : kPrograms) {
        conf += "    \"/cgi-bin/" + std::string(program) + "\" => ( (\n";
        conf += "        \"socket\" => " + Quoted(SocketOf(layout, program)) + ",\n";
        conf += "        \"bin-path\" => " + Quoted(layout.cgiDirectory + "/" + program) + ",\n";
        conf += "        \"bin-environment\" => ( \"QUAR_MACHINE_REGISTRY\" => " +
                Quoted(layout.registryFile) + ", \"TMP\" => " + Quoted(tmp) + " ),\n";
        conf += "        \"max-procs\" => 4,\n";
        conf += "        \"check-local\" => \"disable\"\n";
        conf += "    ) ),\n";
    }
    conf += ")\n";
    return conf;
}

std::string LighttpdConfiguration(const ServeLayout& layout) {
    const std::string cgi = layout.cgiDirectory + "/";
    const std::string tmp = layout.stateDirectory + "/tmp";
    std::string conf;
    conf += "server.modules = ( \"mod_redirect\", \"mod_access\", \"mod_alias\", " +
            std::string(layout.fastcgi ? "\"mod_fastcgi\"" : "\"mod_cgi\"") +
            ", \"mod_setenv\" )\n";
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
    if (!layout.fastcgi) {
        conf += "    cgi.assign = ( \"\" => \"\" )\n";
    }
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
    if (layout.fastcgi) {
        conf += LighttpdFastCgi(layout, tmp);
    }
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
    if (layout.fastcgi) {
        conf += "# The programs run as FastCGI applications that a spawner starts before Apache\n";
        conf += "# (and again when one ends, e.g. under systemd with Restart=always):\n";
        for (const char* program : kPrograms) {
            conf += "#   spawn-fcgi -s " + SocketOf(layout, program) + " -d " +
                    layout.cgiDirectory +
                    (layout.user.empty() ? std::string()
                                         : " -u " + layout.user + " -U " + layout.user) +
                    " -- " + layout.cgiDirectory + "/" + program + "\n";
        }
    }
    const std::vector<const char*> loaded =
        layout.fastcgi ? std::vector<const char*>{"mpm_event", "proxy",      "proxy_fcgi", "alias",
                                                  "env",       "authz_core", "headers"}
                       : std::vector<const char*>{"mpm_event", "cgid",       "alias",
                                                  "env",       "authz_core", "headers"};
    for (const char* module : loaded) {
        conf +=
            "LoadModule " + std::string(module) + "_module " + modules + "/mod_" + module + ".so\n";
    }
    if (!layout.fastcgi) {
        conf += "ScriptSock " + Quoted(state + "/cgid.sock") + "\n";
    }
    if (!layout.user.empty()) {
        conf += "User " + layout.user + "\nGroup " + layout.user + "\n";
    }
    conf += "# Bodies above the programs' own limit are refused (413) before they are read.\n";
    conf += "LimitRequestBody " + std::to_string(kMaxContentLength) + "\n";
    conf += "DocumentRoot " + Quoted(layout.cgiDirectory) + "\n";
    conf += "<Directory />\n    Require all denied\n</Directory>\n";
    conf += "RedirectMatch ^/$ /cgi-bin/quarnbxadmin\n";
    if (layout.fastcgi) {
        conf += "Alias /cgi-bin/ " + Quoted(layout.cgiDirectory + "/") + "\n";
        for (const char* program : kPrograms) {
            conf += "<LocationMatch \"^/cgi-bin/" + std::string(program) + "$\">\n";
            conf += "    SetHandler \"proxy:unix:" + SocketOf(layout, program) +
                    "|fcgi://localhost/\"\n";
            conf += "</LocationMatch>\n";
        }
    } else {
        conf += "ScriptAlias /cgi-bin/ " + Quoted(layout.cgiDirectory + "/") + "\n";
    }
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
