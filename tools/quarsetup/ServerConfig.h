// Web server configurations for an installation: the text `quarsetup --print-config` prints.
#pragma once

#include <string>

// Where the served installation lives and how the server reaches it.
struct ServeLayout {
    std::string cgiDirectory;    // the three programs and the site files beside them
    std::string registryFile;    // the machine registry file the programs read
    std::string stateDirectory;  // the server's own files: error log, pid, uploads ("tmp")
    int port = 8080;             // served on 127.0.0.1 only
    std::string user;            // the account the programs run as when the server starts as root
};

// The web servers a configuration can be printed for.
enum class WebServer { Lighttpd, Apache };

// Reads "lighttpd" or "apache"; false for anything else.
bool ParseWebServer(const std::string& name, WebServer& server);

// A complete configuration for `server` that runs the three programs of the layout under
// /cgi-bin/, redirects "/" to the administration pages, refuses every other file of the CGI
// folder (the pages and the catalogue are read by the programs, never served), passes the
// registry file and the fallback log folder to the programs, and refuses request bodies above
// the programs' own limit before reading them. The programs' answers get headers that keep them
// out of caches and frames and keep their addresses from other sites.
std::string ServerConfiguration(WebServer server, const ServeLayout& layout);
