#include "admin/Diagnostics.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "admin/AdminApplication.h"
#include "platform/DataDirectory.h"
#include "platform/FileUtil.h"
#include "platform/Registry.h"

namespace {

constexpr const char* kProbeName = "__tst_write";
constexpr std::size_t kProbeBytes = 5;

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Every check uses the same probe name, so a check running at the same time in another
// process may have removed the probe already: that is no fault of the directory.
bool RemoveProbe(const std::string& probe) {
    return ::unlink(probe.c_str()) == 0 || errno == ENOENT;
}

}  // namespace

bool CheckConfiguration(std::string& output, bool verbose, Registry& registry) {
    int step = 0;
    const auto exception = [&] {
        char text[64];
        std::snprintf(text, sizeof text, "Exception at step %d.", step);
        output += text;
        return false;
    };
    if (verbose) {
        output += kAdminBanner;
    }
    step = 10;
    if (verbose) {
        output += "<BR><BR>";
    }
    step = 20;

    const std::optional<std::string> directory = ReadDataDirectory(registry);
    if (!directory) {
        output += "Config file not found.";
        return false;
    }
    if (verbose) {
        output += "Config file OK.";
    }
    step = 30;
    if (verbose) {
        output += "<BR>";
    }
    step = 40;

    // An empty value names no directory: probing it would write to the file system's root.
    if (directory->empty()) {
        step = 50;
        output += "QUAR NBX DB Directory not defined in config file.";
        return false;
    }
    step = 60;
    if (verbose) {
        output += "QUAR NBX DB Directory Path: OK";
    }
    step = 70;
    if (verbose) {
        output += "<BR>";
    }

    const std::string directoryText = WithTrailingSlash(*directory);
    step = 80;
    const std::string probe = directoryText + kProbeName;
    step = 90;
    if (Exists(probe) && !RemoveProbe(probe)) {
        return exception();
    }
    step = 100;
    UniqueFd fd(::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd) {
        step = 110;
        output += "Can't create file in DB directory. Please check if directory \"" +
                  directoryText + "\" exist and read/write access is permitted.";
        return false;
    }
    step = 120;
    if (!WriteAll(fd.get(), probe.data(),
                  kProbeBytes < probe.size() ? kProbeBytes : probe.size())) {
        return exception();
    }
    step = 123;
    if (!fd.close()) {
        return exception();
    }
    step = 125;
    if (!RemoveProbe(probe)) {
        return exception();
    }
    step = 127;
    if (verbose) {
        output += "Write to DB Directory: OK.";
    }
    step = 130;
    if (verbose) {
        output += "<BR>";
    }
    step = 190;
    if (verbose) {
        output += "<BR>";
    }
    return true;
}

bool CheckConfiguration(std::string& output, bool verbose) {
    return CheckConfiguration(output, verbose, *OpenSystemRegistry());
}

void HandleBanner(AdminApplication& app) {
    app.ShowBanner();
}

void HandleCheckConfiguration(AdminApplication&) {
    std::string output;
    CheckConfiguration(output, true);
    std::fputs(output.c_str(), stdout);
    CgiApplication::EndProcess();
}
