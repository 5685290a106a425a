// quarsetup --data-dir DIR --cgi-dir DIR [--registry FILE] [--bin-dir DIR] [--site-dir DIR]
//
// Creates the data directory, records it in the machine registry and lays out the CGI folder.
// Running it again updates the programs and site files in place; the data directory's
// content is never touched.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Installer.h"
#include "platform/FileUtil.h"

namespace {

const char* const kPrograms[] = {"quarnbxadmin", "quarnbx", "quarnbxpic"};
// Where a build tree puts each program, relative to its root.
const char* const kBuildFolders[] = {"src/admin/", "src/endpoint/", "src/imageserver/"};

int Usage() {
    std::fputs(
        "usage: quarsetup --data-dir DIR --cgi-dir DIR [--registry FILE] [--bin-dir DIR]\n"
        "                 [--site-dir DIR]\n"
        "  --registry  machine registry file (default $QUAR_MACHINE_REGISTRY or\n"
        "              /etc/quar/machine.reg)\n"
        "  --bin-dir   folder holding the programs (default: beside quarsetup, else the build\n"
        "              tree)\n",
        stderr);
    return 2;
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

}  // namespace

int main(int argc, char** argv) {
    InstallPlan plan;
    std::string binDirectory;
    const char* registry = std::getenv("QUAR_MACHINE_REGISTRY");
    plan.registryFile = registry && *registry ? registry : "/etc/quar/machine.reg";
    plan.siteDirectory = QUAR_SOURCE_SITE;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
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
        } else {
            return Usage();
        }
    }
    if (plan.dataDirectory.empty() || plan.cgiDirectory.empty()) {
        return Usage();
    }
    const std::string own = OwnDirectory();
    for (std::size_t i = 0; i < sizeof kPrograms / sizeof *kPrograms; ++i) {
        std::string candidates[] = {
            binDirectory.empty() ? std::string() : binDirectory + "/" + kPrograms[i],
            own + kPrograms[i],
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
    std::string error;
    if (!Install(plan, error)) {
        std::fprintf(stderr, "quarsetup: %s\n", error.c_str());
        return 1;
    }
    std::printf("Installed %s (data in %s, registry %s)\n", plan.cgiDirectory.c_str(),
                plan.dataDirectory.c_str(), plan.registryFile.c_str());
    return 0;
}
