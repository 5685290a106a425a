#include "support/CgiSite.h"

#include <filesystem>

#include "platform/DataDirectory.h"
#include "platform/Registry.h"
#include "platform/Scramble.h"

CgiSite::CgiSite(const std::string& program) {
    dir_.Write("data/.keep", "");
    dir_.Write("tmp/.keep", "");
    dir_.Write("cgi/.keep", "");
    program_ = cgi(std::filesystem::path(program).filename().string());
    std::filesystem::copy_file(program, program_,
                               std::filesystem::copy_options::overwrite_existing);
    RegisterDataDirectory(dir_ / "data");
}

CgiSite::CgiSite() = default;

void CgiSite::RegisterDataDirectory(const std::string& path) const {
    OpenFileRegistry(registryFile(), "/dev/null")
        ->SetText(Hive::ClassesRoot, DataDirectoryKey(), "", scramble(path));
}

void CgiSite::UnregisterDataDirectory() const {
    std::filesystem::remove(registryFile());
}

CgiResult CgiSite::Run(const char* query, const std::string& body,
                       std::map<std::string, std::string> env) const {
    CgiRequest request;
    if (query) {
        env["QUERY_STRING"] = query;
    }
    if (!body.empty()) {
        env.emplace("CONTENT_LENGTH", std::to_string(body.size()));
    }
    request.env = std::move(env);
    request.stdinData = body;
    return Run(std::move(request));
}

CgiResult CgiSite::Run(CgiRequest request) const {
    if (request.program.empty()) {
        request.program = program_;
    }
    request.env.emplace("TMP", dir_ / "tmp");
    request.env.emplace("QUAR_MACHINE_REGISTRY", registryFile());
    request.env.emplace("REMOTE_ADDR", "127.0.0.1");
    request.env.emplace("REQUEST_METHOD", "POST");
    if (request.workingDirectory.empty()) {
        request.workingDirectory = dir_ / "cgi";
    }
    return RunCgi(request);
}
