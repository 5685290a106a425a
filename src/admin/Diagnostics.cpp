#include "admin/Diagnostics.h"

#include <cstdio>

#include "admin/AdminApplication.h"
#include "platform/DataDirectory.h"
#include "platform/Env.h"
#include "platform/Registry.h"

namespace {

constexpr const char* kProbeName = "__tst_write";
constexpr std::size_t kProbeBytes = 5;

// The steps of the probe that can fail without a message of their own: the answer names the
// step, as the administrator's support expects.
constexpr int kStepClearProbe = 90;
constexpr int kStepWriteProbe = 120;
constexpr int kStepCloseProbe = 123;
constexpr int kStepRemoveProbe = 125;

bool Exception(std::string& output, int step) {
    char text[64];
    std::snprintf(text, sizeof text, "Exception at step %d.", step);
    output += text;
    return false;
}

}  // namespace

bool CheckConfiguration(std::string& output, bool verbose, Env& env) {
    if (verbose) {
        output += kAdminBanner;
        output += "<BR><BR>";
    }

    const std::optional<std::string> directory = ReadDataDirectory(*env.OpenRegistry());
    if (!directory) {
        output += "Config file not found.";
        return false;
    }
    if (verbose) {
        output += "Config file OK.<BR>";
    }

    // An empty value names no directory: probing it would write to the file system's root.
    if (directory->empty()) {
        output += "QUAR NBX DB Directory not defined in config file.";
        return false;
    }
    if (verbose) {
        output += "QUAR NBX DB Directory Path: OK<BR>";
    }

    const std::string directoryText = WithTrailingSlash(*directory);
    const std::string probe = directoryText + kProbeName;
    // Every check uses the same probe name, so a check running at the same time in another
    // process may have removed the probe already: that is no fault of the directory.
    if (env.FileExists(probe) && !env.RemoveFile(probe)) {
        return Exception(output, kStepClearProbe);
    }
    std::unique_ptr<WritableFile> file = env.NewWritableFile(probe, 0600);
    if (!file) {
        output += "Can't create file in DB directory. Please check if directory \"" +
                  directoryText + "\" exist and read/write access is permitted.";
        return false;
    }
    if (!file->Append(probe.data(), kProbeBytes < probe.size() ? kProbeBytes : probe.size())) {
        return Exception(output, kStepWriteProbe);
    }
    if (!file->Close()) {
        return Exception(output, kStepCloseProbe);
    }
    if (!env.RemoveFile(probe)) {
        return Exception(output, kStepRemoveProbe);
    }
    if (verbose) {
        output += "Write to DB Directory: OK.<BR><BR>";
    }
    return true;
}

Reply HandleBanner(AdminApplication&) {
    return Reply::Banner();
}

Reply HandleCheckConfiguration(AdminApplication& app) {
    std::string output;
    CheckConfiguration(output, true, app.Platform());
    return Reply::Text(std::move(output));
}
