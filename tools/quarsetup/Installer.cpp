#include "Installer.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/DataDirectory.h"
#include "platform/FileUtil.h"
#include "platform/Registry.h"
#include "platform/Scramble.h"

namespace {

// The path is stored without its closing "/", which the programs put back when they read it:
// the directory they use, "/" included, is then still no longer than a scrambled value gives.
constexpr std::size_t kMaxDataDirectory = kMaxDescrambled - 1;

bool EndsWith(const std::string& text, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

bool IsSiteFile(const std::string& name) {
    return EndsWith(name, ".htx") || EndsWith(name, ".def") || EndsWith(name, ".gif") ||
           EndsWith(name, ".css");
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool MakeDirectory(const std::string& path, std::string& error) {
    if (!MakeParentDirectories(path + "/")) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = path + " is not a directory";
        return false;
    }
    return true;
}

bool CopyFile(const std::string& from, const std::string& to, int mode, std::string& error) {
    const std::optional<std::string> data = ReadWholeFile(from);
    if (!data) {
        error = "cannot read " + from + ": " + std::strerror(errno);
        return false;
    }
    if (!ReplaceFileAtomically(to, *data, mode) ||
        ::chmod(to.c_str(), static_cast<mode_t>(mode)) != 0) {
        error = "cannot write " + to + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// Gives the data directory and the files in it to `owner`, so that the web server's account
// can keep the settings, the session and the logs there.
bool GiveDataDirectory(const std::string& dataDirectory, const std::string& owner,
                       std::string& error) {
    const passwd* account = ::getpwnam(owner.c_str());
    if (account == nullptr) {
        error = "no such account: " + owner;
        return false;
    }
    if (::chown(dataDirectory.c_str(), account->pw_uid, account->pw_gid) != 0) {
        error = "cannot give " + dataDirectory + " to " + owner + ": " + std::strerror(errno);
        return false;
    }
    DIR* dir = ::opendir(dataDirectory.c_str());
    if (dir == nullptr) {
        error = "cannot read " + dataDirectory + ": " + std::strerror(errno);
        return false;
    }
    bool ok = true;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string path = dataDirectory + "/" + entry->d_name;
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::chown(path.c_str(), account->pw_uid, account->pw_gid) != 0) {
            error = "cannot give " + path + " to " + owner + ": " + std::strerror(errno);
            ok = false;
            break;
        }
    }
    ::closedir(dir);
    return ok;
}

}  // namespace

std::string AbsolutePath(const std::string& path) {
    std::string result = path;
    if (result.empty() || result[0] != '/') {
        char* cwd = ::getcwd(nullptr, 0);
        result = std::string(cwd ? cwd : ".") + "/" + path;
        std::free(cwd);
    }
    while (result.size() > 1 && result.back() == '/') {
        result.pop_back();
    }
    return result;
}

// The absolute path with "." and ".." taken out and symbolic links resolved as far as the path
// exists already, so that two spellings of one folder compare equal.
std::string ResolvedPath(const std::string& path) {
    std::vector<std::string> parts;
    const std::string absolute = AbsolutePath(path);
    for (std::size_t start = 1; start <= absolute.size();) {
        std::size_t end = absolute.find('/', start);
        if (end == std::string::npos) {
            end = absolute.size();
        }
        const std::string part = absolute.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    for (std::size_t kept = parts.size();; --kept) {
        std::string head;
        for (std::size_t i = 0; i < kept; ++i) {
            head += "/" + parts[i];
        }
        char* real = ::realpath(head.empty() ? "/" : head.c_str(), nullptr);
        if (real != nullptr || kept == 0) {
            std::string result = real != nullptr ? real : "";
            std::free(real);
            for (std::size_t i = kept; i < parts.size(); ++i) {
                result += (result == "/" ? "" : "/") + parts[i];
            }
            return result.empty() ? "/" : result;
        }
    }
}

bool Install(const InstallPlan& plan, std::string& error) {
    const std::string dataDirectory = AbsolutePath(plan.dataDirectory);
    // The web server reaches everything in the CGI folder: a data directory there would hand
    // out the settings and the session.
    const std::string resolvedData = ResolvedPath(plan.dataDirectory);
    const std::string resolvedCgi = ResolvedPath(plan.cgiDirectory);
    if (resolvedData == resolvedCgi || resolvedData.rfind(WithTrailingSlash(resolvedCgi), 0) == 0) {
        error = "the data directory " + dataDirectory + " lies in the CGI folder " +
                AbsolutePath(plan.cgiDirectory) +
                ", where the web server could hand out the settings and the session: choose a "
                "data directory outside it";
        return false;
    }
    if (dataDirectory.size() > kMaxDataDirectory) {
        error = "the data directory path is longer than " + std::to_string(kMaxDataDirectory) +
                " characters: " + dataDirectory;
        return false;
    }
    const std::string stored = scramble(dataDirectory);
    if (stored.find('\0') != std::string::npos) {
        error = "the data directory path cannot be stored: " + dataDirectory;
        return false;
    }
    if (!MakeDirectory(dataDirectory, error) ||
        !MakeDirectory(AbsolutePath(plan.cgiDirectory), error)) {
        return false;
    }
    // The settings and session files hold the password and the session: owner only.
    ::chmod(dataDirectory.c_str(), 0700);
    if (!plan.owner.empty() && !GiveDataDirectory(dataDirectory, plan.owner, error)) {
        return false;
    }

    const std::string cgi = WithTrailingSlash(AbsolutePath(plan.cgiDirectory));
    for (const std::string& program : plan.programs) {
        if (!CopyFile(program, cgi + BaseName(program), 0755, error)) {
            return false;
        }
    }
    DIR* dir = ::opendir(plan.siteDirectory.c_str());
    if (dir == nullptr) {
        error = "cannot read the site folder " + plan.siteDirectory + ": " + std::strerror(errno);
        return false;
    }
    bool ok = true;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (IsSiteFile(name) &&
            !CopyFile(WithTrailingSlash(plan.siteDirectory) + name, cgi + name, 0644, error)) {
            ok = false;
            break;
        }
    }
    ::closedir(dir);
    if (!ok) {
        return false;
    }

    auto registry = OpenFileRegistry(plan.registryFile, "/dev/null");
    const long rc = registry->SetText(Hive::ClassesRoot, DataDirectoryKey(), "", stored);
    if (rc == ERROR_BADDB) {
        error = "cannot read the registry file " + plan.registryFile +
                " (unreadable, or larger than " + std::to_string(kMaxRegistryFileBytes) + " bytes)";
        return false;
    }
    if (rc != ERROR_SUCCESS) {
        error = "cannot write the registry file " + plan.registryFile;
        return false;
    }
    return true;
}
