#include "Preflight.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/FileUtil.h"

namespace {

// The nearest folder of `path` (itself included) that exists; what quarsetup creates below it
// needs that folder writable.
std::string NearestExisting(std::string path) {
    struct stat st;
    while (::stat(path.c_str(), &st) != 0) {
        const std::string::size_type slash = path.rfind('/');
        if (slash == std::string::npos || slash == 0) {
            return "/";
        }
        path.erase(slash);
    }
    return path;
}

// Why this process cannot make or fill the folder `path`, or an empty text.
std::string FolderProblem(const std::string& path) {
    const std::string existing = NearestExisting(path);
    struct stat st;
    if (::stat(existing.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return existing + " is not a folder";
    }
    if (::access(existing.c_str(), W_OK | X_OK) != 0) {
        return existing + ": " + std::strerror(errno);
    }
    return std::string();
}

// Why this process cannot write the registry file (through a temporary file beside it).
std::string RegistryProblem(const std::string& file) {
    struct stat st;
    if (::stat(file.c_str(), &st) == 0 && ::access(file.c_str(), R_OK | W_OK) != 0) {
        return file + ": " + std::strerror(errno);
    }
    return FolderProblem(DirectoryOf(AbsolutePath(file)));
}

}  // namespace

std::string PreflightProblems(const InstallPlan& plan) {
    std::string problems;
    if (const std::string why = RegistryProblem(plan.registryFile); !why.empty()) {
        problems += "cannot write the machine registry file " + plan.registryFile + " (" + why +
                    "): run as root, or pass --registry FILE with a file you can write and give "
                    "the web server the same file in QUAR_MACHINE_REGISTRY (--print-config does)\n";
    }
    const struct {
        const char* role;
        const char* option;
        std::string path;
    } folders[] = {{"data directory", "--data-dir", AbsolutePath(plan.dataDirectory)},
                   {"CGI folder", "--cgi-dir", AbsolutePath(plan.cgiDirectory)}};
    for (const auto& folder : folders) {
        if (const std::string why = FolderProblem(folder.path); !why.empty()) {
            problems += std::string("cannot create the ") + folder.role + " " + folder.path + " (" +
                        why + "): pass " + folder.option + " with a folder you can write\n";
        }
    }
    if (!plan.owner.empty()) {
        const passwd* account = ::getpwnam(plan.owner.c_str());
        if (account == nullptr) {
            problems += "no such account: " + plan.owner +
                        " (--owner names the account the web "
                        "server runs the programs as, e.g. www-data)\n";
        } else if (::geteuid() != 0 && account->pw_uid != ::geteuid()) {
            problems += "only root can give the data directory to " + plan.owner +
                        ": run as root, or leave --owner out when the web server runs as you\n";
        }
    }
    return problems;
}
