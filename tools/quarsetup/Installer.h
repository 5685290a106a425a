// The installer: a data directory registered in the machine registry, and a CGI folder with
// the three programs and the site's pages, message catalogue and images.
#pragma once

#include <string>
#include <vector>

struct InstallPlan {
    std::string dataDirectory;          // created when missing; its content is never touched
    std::string cgiDirectory;           // receives programs and site files
    std::string registryFile;           // the machine registry file
    std::vector<std::string> programs;  // paths of the programs to copy
    std::string siteDirectory;          // source of .htx, .def and .gif files
    std::string owner;  // when set, the account the programs run as: it gets the data directory
};

// `path` made absolute against the working directory, without trailing slashes.
std::string AbsolutePath(const std::string& path);

// Carries out the plan; on failure returns false with a message in `error`. Files are copied
// through a temporary name and a rename, so a server that runs meanwhile never reads half a
// page or program.
bool Install(const InstallPlan& plan, std::string& error);
