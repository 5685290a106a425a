// An installation in a temporary folder for black-box runs of the server programs: a CGI
// folder holding a copy of the program (it finds its images beside itself), a data directory
// registered in a machine registry file, and a TMP folder. Every test that runs a server
// program runs it through here, with the environment a web server gives it.
#pragma once

#include <map>
#include <string>

#include "support/CgiRunner.h"
#include "support/TempDir.h"

class CgiSite {
  public:
    // Copies `program` into cgi/ and registers data/ as the data directory.
    explicit CgiSite(const std::string& program);
    // An empty folder, for an installation that the installer makes in it (cgi/, machine.reg).
    CgiSite();

    // Runs the program with QUERY_STRING (when not null), a body (CONTENT_LENGTH set when not
    // empty) and further variables. The environment also holds TMP and the registry file.
    CgiResult Run(const char* query, const std::string& body = std::string(),
                  std::map<std::string, std::string> env = {}) const;
    // As above with a whole request; its program (default: the copied one), working directory
    // (default: cgi/) and variables win over the site's.
    CgiResult Run(CgiRequest request) const;

    // Removes the data directory's registry value, or sets it to a raw (plain) text.
    void UnregisterDataDirectory() const;
    void RegisterDataDirectory(const std::string& path) const;

    const TempDir& dir() const { return dir_; }
    std::string cgi(const std::string& name) const { return dir_ / ("cgi/" + name); }
    std::string data(const std::string& name) const { return dir_ / ("data/" + name); }
    std::string tmp(const std::string& name) const { return dir_ / ("tmp/" + name); }
    std::string Data(const std::string& name) const { return dir_.Read("data/" + name); }
    std::string Tmp(const std::string& name) const { return dir_.Read("tmp/" + name); }
    std::string registryFile() const { return dir_ / "machine.reg"; }
    std::string program() const { return program_; }

  private:
    TempDir dir_;
    std::string program_;
};
