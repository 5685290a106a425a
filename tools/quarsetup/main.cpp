// quarsetup --data-dir DIR --cgi-dir DIR [--registry FILE] [--bin-dir DIR] [--site-dir DIR]
// quarsetup --clear-password [--registry FILE] [--data-dir DIR]
// quarsetup --print-config lighttpd|apache --cgi-dir DIR [--registry FILE] [--port N]
//           [--state-dir DIR] [--user USER]
//
// Creates the data directory, records it in the machine registry and lays out the CGI folder.
// Running it again updates the programs and site files in place; the data directory's
// content is never touched. With --clear-password it installs nothing and only empties the
// stored administrator password of the installation (the registered data directory, or DIR).
// With --print-config it prints a web server configuration that serves the installation.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "Installer.h"
#include "PasswordReset.h"
#include "Preflight.h"
#include "ServerConfig.h"
#include "platform/DataDirectory.h"
#include "platform/Decimal.h"
#include "platform/FileUtil.h"
#include "platform/Registry.h"

namespace {

const char* const kPrograms[] = {"quarnbxadmin", "quarnbx", "quarnbxpic"};
// Where a build tree puts each program, relative to its root.
const char* const kBuildFolders[] = {"src/admin/", "src/endpoint/", "src/imageserver/"};

// The usage text, on standard output for --help (status 0), else on standard error (status 2).
int Usage(bool asked = false) {
    std::fprintf(
        asked ? stdout : stderr,
        "usage: quarsetup --data-dir DIR --cgi-dir DIR [--registry FILE] [--bin-dir DIR]\n"
        "                 [--site-dir DIR] [--owner USER]\n"
        "       quarsetup --clear-password [--registry FILE] [--data-dir DIR]\n"
        "       quarsetup --print-config lighttpd|apache --cgi-dir DIR [--registry FILE]\n"
        "                 [--port N] [--state-dir DIR] [--user USER]\n"
        "  --registry  machine registry file (default $QUAR_MACHINE_REGISTRY or\n"
        "              %s)\n"
        "  --bin-dir   folder holding the programs (default: beside quarsetup, the installed\n"
        "              ../lib/quar, else the build tree)\n"
        "  --site-dir  folder holding the pages, catalogue and images (default: the installed\n"
        "              ../share/quar/site, else the source tree's site/)\n"
        "  --clear-password  empty the administrator password (a forgotten one): the next\n"
        "              visit of the administration pages asks for a new one; the other\n"
        "              settings and the event log stay\n"
        "  --owner     the account the web server runs the programs as (it must write the\n"
        "              data directory): the data directory and its files are given to it\n"
        "  --print-config  print a configuration of that web server serving the CGI folder\n"
        "              on 127.0.0.1:N (default 8080); its own log, pid and upload files go\n"
        "              to --state-dir (default: the CGI folder's parent); --user is the\n"
        "              account the server runs the programs as when started by root\n"
        "  --help, --version  this text, or the version, on standard output\n"
        "As a user, not root: pass --registry with a file you can write (the default is the\n"
        "system's), and folders you can write to --data-dir and --cgi-dir.\n",
        kDefaultMachineRegistryFile);
    return asked ? 0 : 2;
}

std::string OwnDirectory() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return std::string();
    }
    path[n] = '\0';
    return DirectoryOf(path);
}

bool IsFile(const std::string& path) {
    return ::access(path.c_str(), R_OK) == 0;
}

// The site installed beside quarsetup, else the source tree's (a build tree's quarsetup).
std::string DefaultSiteDirectory() {
    const std::string installed = OwnDirectory() + QUAR_INSTALLED_SITE;
    return IsFile(installed + "/quar_nbx_mess.def") ? installed : QUAR_SOURCE_SITE;
}

// --clear-password: the given data directory, else the one the registry names.
int ClearPassword(const InstallPlan& plan) {
    std::string dataDirectory = plan.dataDirectory;
    if (dataDirectory.empty()) {
        auto registry = OpenFileRegistry(plan.registryFile, "/dev/null");
        const std::optional<std::string> registered = ReadDataDirectory(*registry);
        if (!registered || registered->empty()) {
            std::fprintf(stderr, "quarsetup: no data directory is registered in %s\n",
                         plan.registryFile.c_str());
            return 1;
        }
        dataDirectory = *registered;
    }
    std::string error;
    if (!ClearAdminPassword(dataDirectory, error)) {
        std::fprintf(stderr, "quarsetup: %s\n", error.c_str());
        return 1;
    }
    std::printf(
        "Administrator password cleared in %s: the next visit of the administration pages asks "
        "for a new one.\n",
        dataDirectory.c_str());
    return 0;
}

// --print-config: the configuration on standard output.
int PrintConfig(const std::string& serverName, ServeLayout layout) {
    WebServer server;
    if (!ParseWebServer(serverName, server) || layout.cgiDirectory.empty() || layout.port <= 0 ||
        layout.port > 65535) {
        return Usage();
    }
    layout.cgiDirectory = AbsolutePath(layout.cgiDirectory);
    layout.registryFile = AbsolutePath(layout.registryFile);
    layout.stateDirectory = AbsolutePath(
        layout.stateDirectory.empty() ? DirectoryOf(layout.cgiDirectory) : layout.stateDirectory);
    std::fputs(ServerConfiguration(server, layout).c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    InstallPlan plan;
    std::string binDirectory;
    plan.registryFile = MachineRegistryFile();
    plan.siteDirectory = DefaultSiteDirectory();
    bool clearPassword = false;
    std::string printConfig;
    ServeLayout serve;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            return Usage(true);
        }
        if (option == "--version") {
            std::puts("quarsetup " QUAR_VERSION);
            return 0;
        }
        if (option == "--clear-password") {
            clearPassword = true;
            continue;
        }
        if (i + 1 >= argc) {
            return Usage();
        }
        const char* value = argv[++i];
        if (option == "--data-dir") {
            plan.dataDirectory = value;
        } else if (option == "--cgi-dir") {
            plan.cgiDirectory = value;
        } else if (option == "--registry") {
            plan.registryFile = value;
        } else if (option == "--bin-dir") {
            binDirectory = value;
        } else if (option == "--site-dir") {
            plan.siteDirectory = value;
        } else if (option == "--owner") {
            plan.owner = value;
        } else if (option == "--print-config") {
            printConfig = value;
        } else if (option == "--port") {
            serve.port = static_cast<int>(LeadingDecimal(value, std::numeric_limits<int>::min(),
                                                         std::numeric_limits<int>::max()));
        } else if (option == "--state-dir") {
            serve.stateDirectory = value;
        } else if (option == "--user") {
            serve.user = value;
        } else {
            return Usage();
        }
    }
    if (clearPassword) {
        return ClearPassword(plan);
    }
    if (!printConfig.empty()) {
        serve.cgiDirectory = plan.cgiDirectory;
        serve.registryFile = plan.registryFile;
        return PrintConfig(printConfig, serve);
    }
    if (plan.dataDirectory.empty() || plan.cgiDirectory.empty()) {
        return Usage();
    }
    const std::string own = OwnDirectory();
    for (std::size_t i = 0; i < sizeof kPrograms / sizeof *kPrograms; ++i) {
        std::string candidates[] = {
            binDirectory.empty() ? std::string() : binDirectory + "/" + kPrograms[i],
            own + kPrograms[i], own + QUAR_INSTALLED_PROGRAMS + kPrograms[i],
            std::string(QUAR_BUILD_ROOT) + "/" + kBuildFolders[i] + kPrograms[i]};
        std::string found;
        for (const std::string& candidate : candidates) {
            if (!candidate.empty() && IsFile(candidate)) {
                found = candidate;
                break;
            }
        }
        if (found.empty()) {
            std::fprintf(stderr, "quarsetup: %s not found (build it first)\n", kPrograms[i]);
            return 1;
        }
        plan.programs.push_back(found);
    }
    // Nothing is changed unless all of it can be done.
    if (const std::string problems = PreflightProblems(plan); !problems.empty()) {
        std::fprintf(stderr, "quarsetup: nothing was changed:\n%s", problems.c_str());
        return 1;
    }
    std::string error;
    if (!Install(plan, error)) {
        std::fprintf(stderr, "quarsetup: %s\n", error.c_str());
        return 1;
    }
    std::printf("Installed %s (data in %s, registry %s)\n", plan.cgiDirectory.c_str(),
                plan.dataDirectory.c_str(), plan.registryFile.c_str());
    return 0;
}
