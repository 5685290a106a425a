#include "platform/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/FailurePoint.h"
#include "platform/FileUtil.h"

namespace {

const char* HiveName(Hive hive) {
    switch (hive) {
        case Hive::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
        case Hive::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
        case Hive::CurrentUser:
            return "HKEY_CURRENT_USER";
    }
    return "HKEY_CLASSES_ROOT";
}

std::string FullPath(Hive hive, const std::string& key) {
    std::string path = HiveName(hive);
    if (!key.empty()) {
        path += '\\';
        path += key;
    }
    return path;
}

bool SameName(const std::string& a, const std::string& b) {
    RegNameLess less;
    return !less(a, b) && !less(b, a);
}

// ProxyEnable and ProxyServer as the browser on this system sets them: from http_proxy (lower
// case only, as under CGI HTTP_PROXY comes from a request header).
RegKey InternetSettingsFromEnvironment() {
    RegKey key;
    std::string proxy;
    if (const char* env = std::getenv("http_proxy")) {
        proxy = env;
    }
    const std::size_t scheme = proxy.find("://");
    if (scheme != std::string::npos) {
        proxy.erase(0, scheme + 3);
    }
    const std::size_t at = proxy.rfind('@');
    if (at != std::string::npos) {
        proxy.erase(0, at + 1);
    }
    const std::size_t slash = proxy.find('/');
    if (slash != std::string::npos) {
        proxy.erase(slash);
    }
    key["ProxyEnable"] = RegValue::Dword(proxy.empty() ? 0 : 1);
    if (!proxy.empty()) {
        key["ProxyServer"] = RegValue::Text(proxy);
    }
    return key;
}

// The text of a registry file, "" when there is none; nothing when it cannot be read.
std::optional<std::string> ReadRegistryText(const std::string& path,
                                            const RegistryReader& read = {}) {
    // Regular files only, opened without waiting: a pipe planted under the name holds no one.
    std::optional<std::string> text =
        read ? read(path, kMaxRegistryFileBytes) : ReadWholeFile(path, kMaxRegistryFileBytes, true);
    if (!text && errno == ENOENT) {
        return std::string();
    }
    return text;
}

class FileRegistry : public Registry {
  public:
    FileRegistry(std::string machineFile, std::string userFile, RegistryReader read)
        : machineFile_(std::move(machineFile)),
          userFile_(std::move(userFile)),
          read_(std::move(read)) {}

    long QueryText(Hive hive, const std::string& key, const std::string& name,
                   std::string* text) override {
        const RegValue* value = nullptr;
        RegKey derived;
        const long rc = Find(hive, key, name, derived, &value);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (value->type != RegValue::Type::Text) {
            return ERROR_INVALID_DATA;
        }
        *text = value->text;
        return ERROR_SUCCESS;
    }

    long QueryDword(Hive hive, const std::string& key, const std::string& name,
                    uint32_t* out) override {
        const RegValue* value = nullptr;
        RegKey derived;
        const long rc = Find(hive, key, name, derived, &value);
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (value->type != RegValue::Type::Dword) {
            return ERROR_INVALID_DATA;
        }
        *out = value->dword;
        return ERROR_SUCCESS;
    }

    bool KeyExists(Hive hive, const std::string& key) override {
        const RegFile file = RegFile::Parse(ReadRegistryText(FileOf(hive), read_).value_or(""));
        return file.FindKey(FullPath(hive, key)) != nullptr || IsDerivedKey(hive, key);
    }

    long CreateKey(Hive hive, const std::string& key) override {
        if (!RegFile::UsableKeyPath(key)) {
            return ERROR_INVALID_NAME;
        }
        return Update(hive, [&](RegFile& file) { file.CreateKey(FullPath(hive, key)); });
    }

    long SetText(Hive hive, const std::string& key, const std::string& name,
                 const std::string& text) override {
        if (!RegFile::UsableKeyPath(key) || !RegFile::UsableValueName(name)) {
            return ERROR_INVALID_NAME;
        }
        return Update(hive, [&](RegFile& file) {
            file.CreateKey(FullPath(hive, key))[name] = RegValue::Text(text);
        });
    }

    long SetDword(Hive hive, const std::string& key, const std::string& name,
                  uint32_t value) override {
        if (!RegFile::UsableKeyPath(key) || !RegFile::UsableValueName(name)) {
            return ERROR_INVALID_NAME;
        }
        return Update(hive, [&](RegFile& file) {
            file.CreateKey(FullPath(hive, key))[name] = RegValue::Dword(value);
        });
    }

  private:
    const std::string& FileOf(Hive hive) const {
        return hive == Hive::CurrentUser ? userFile_ : machineFile_;
    }

    static bool IsDerivedKey(Hive hive, const std::string& key) {
        return hive == Hive::CurrentUser && SameName(key, kInternetSettingsKey);
    }

    long Find(Hive hive, const std::string& key, const std::string& name, RegKey& derived,
              const RegValue** value) {
        const std::optional<std::string> text = ReadRegistryText(FileOf(hive), read_);
        if (!text) {
            return ERROR_BADDB;
        }
        file_ = RegFile::Parse(*text);
        const RegKey* found = file_.FindKey(FullPath(hive, key));
        if (found == nullptr && IsDerivedKey(hive, key)) {
            derived = InternetSettingsFromEnvironment();
            found = &derived;
        }
        if (found == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        const auto it = found->find(name);
        if (it == found->end()) {
            return ERROR_FILE_NOT_FOUND;
        }
        *value = &it->second;
        return ERROR_SUCCESS;
    }

    // Read-modify-write under an exclusive lock on a companion lock file; the new text goes to
    // a temporary file that is renamed over the old one. The user file holds proxy passwords:
    // only its owner may read it.
    template <typename Change>
    long Update(Hive hive, Change change) {
        const std::string& path = FileOf(hive);
        if (!MakeParentDirectories(path)) {
            return ERROR_ACCESS_DENIED;
        }
        UniqueFd lock(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
        if (!lock || ::flock(lock.get(), LOCK_EX) != 0) {
            return ERROR_ACCESS_DENIED;
        }
        const std::optional<std::string> text = ReadRegistryText(path);
        if (!text) {
            return ERROR_BADDB;
        }
        RegFile file = RegFile::Parse(*text);
        change(file);
        if (failure_point::Fails(FailureSite::kRegistryWrite)) {
            return ERROR_ACCESS_DENIED;
        }
        const bool ownerOnly = hive == Hive::CurrentUser;
        return ReplaceFileAtomically(path, file.Serialize(), ownerOnly ? 0600 : 0644, ownerOnly)
                   ? ERROR_SUCCESS
                   : ERROR_ACCESS_DENIED;
    }

    std::string machineFile_;
    std::string userFile_;
    RegistryReader read_;
    RegFile file_;  // the file read by the last query; found values point into it
};

std::string DefaultUserFile() {
    if (const char* path = std::getenv("QUAR_USER_REGISTRY"); path && *path) {
        return path;
    }
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) {
        return std::string(config) + "/quar/user.reg";
    }
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/quar/user.reg";
}

}  // namespace

std::string UserRegistryFile() {
    return DefaultUserFile();
}

bool RegistryFileUsable(const std::string& path) {
    const std::optional<std::string> text = ReadRegistryText(path);
    return text && (text->empty() || text->compare(0, 8, "REGEDIT4") == 0);
}

std::unique_ptr<Registry> OpenFileRegistry(std::string machineFile, std::string userFile) {
    return std::make_unique<FileRegistry>(std::move(machineFile), std::move(userFile),
                                          RegistryReader());
}

std::string MachineRegistryFile() {
    const char* machine = std::getenv("QUAR_MACHINE_REGISTRY");
    return machine && *machine ? machine : kDefaultMachineRegistryFile;
}

std::unique_ptr<Registry> OpenSystemRegistry() {
    return OpenFileRegistry(MachineRegistryFile(), DefaultUserFile());
}

std::unique_ptr<Registry> OpenSystemRegistry(RegistryReader read) {
    return std::make_unique<FileRegistry>(MachineRegistryFile(), DefaultUserFile(),
                                          std::move(read));
}

long RegQueryValueA(Registry& registry, Hive hive, const char* subKey, char* buffer, long* size) {
    std::string text;
    const long rc = registry.QueryText(hive, subKey ? subKey : "", "", &text);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    const long needed = static_cast<long>(text.size()) + 1;
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        return buffer == nullptr ? ERROR_SUCCESS : ERROR_MORE_DATA;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *size = needed;
    return ERROR_SUCCESS;
}
