// The readers of proxy settings on any user registry file and any http_proxy: the client's own
// settings (LoadOptions), the browser's proxy choice (ImportBrowserSettings, and the layer's
// ReadPreconfiguredProxy with its ProxyServer and ProxyOverride lists), and http_proxy standing
// in for a missing Internet Settings key.
//
// Input: the http_proxy value up to the first LF (none when empty), then the user registry
// file's text.
//
// Checked: every text of the record stays terminated within its room; the proxy address never
// carries the credentials of http_proxy; what LoadOptions read, SaveOptions
// writes and LoadOptions reads back the same.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "QuarInet.h"
#include "inet/OptionsStore.h"
#include "inet/wininet/ProxyConfig.h"
#include "platform/RegFile.h"
#include "platform/Registry.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

// The user registry file, in a directory that goes when the fuzzer exits.
const char* UserFile() {
    static char path[64];
    if (path[0] == '\0') {
        char pattern[] = "/tmp/proxy_fuzz.XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            abort();
        }
        snprintf(path, sizeof path, "%s/user.reg", pattern);
        atexit([] {
            unlink(path);
            *strrchr(path, '/') = '\0';
            rmdir(path);
        });
    }
    return path;
}

// The user hive in memory, its text parsed and written as the file's would be.
class MemoryRegistry : public Registry {
  public:
    long QueryText(Hive, const std::string& key, const std::string& name,
                   std::string* text) override {
        const RegValue* v = Find(key, name);
        if (v == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        if (v->type != RegValue::Type::Text) {
            return ERROR_INVALID_DATA;
        }
        *text = v->text;
        return ERROR_SUCCESS;
    }
    long QueryDword(Hive, const std::string& key, const std::string& name,
                    uint32_t* value) override {
        const RegValue* v = Find(key, name);
        if (v == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        if (v->type != RegValue::Type::Dword) {
            return ERROR_INVALID_DATA;
        }
        *value = v->dword;
        return ERROR_SUCCESS;
    }
    bool KeyExists(Hive, const std::string& key) override {
        return Reparsed().FindKey(key) != nullptr;
    }
    long CreateKey(Hive, const std::string& key) override {
        file_.CreateKey(key);
        return ERROR_SUCCESS;
    }
    long SetText(Hive, const std::string& key, const std::string& name,
                 const std::string& text) override {
        file_.CreateKey(key)[name] = RegValue::Text(text);
        return ERROR_SUCCESS;
    }
    long SetDword(Hive, const std::string& key, const std::string& name, uint32_t value) override {
        file_.CreateKey(key)[name] = RegValue::Dword(value);
        return ERROR_SUCCESS;
    }

  private:
    const RegFile& Reparsed() {
        read_ = RegFile::Parse(file_.Serialize());
        return read_;
    }
    const RegValue* Find(const std::string& key, const std::string& name) {
        const RegKey* k = Reparsed().FindKey(key);
        if (k == nullptr) {
            return nullptr;
        }
        const auto it = k->find(name);
        return it == k->end() ? nullptr : &it->second;
    }
    RegFile file_;
    RegFile read_;
};

void CheckTexts(const QuarInetOptions& o) {
    Check(memchr(o.ProxyAddress, 0, sizeof o.ProxyAddress) != nullptr, "address terminated");
    Check(memchr(o.ProxyLog, 0, sizeof o.ProxyLog) != nullptr, "user terminated");
    Check(memchr(o.ProxyPwd, 0, sizeof o.ProxyPwd) != nullptr, "password terminated");
}

bool SameSettings(const QuarInetOptions& a, const QuarInetOptions& b) {
    return a.UseIEsettings == b.UseIEsettings && a.Proxy == b.Proxy &&
           strcmp(a.ProxyAddress, b.ProxyAddress) == 0 && a.ProxyPort == b.ProxyPort &&
           a.ProxyAuthorization == b.ProxyAuthorization && strcmp(a.ProxyLog, b.ProxyLog) == 0 &&
           strcmp(a.ProxyPwd, b.ProxyPwd) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    const std::string env = input.substr(0, newline).c_str();  // an environment text ends at NUL
    const std::string text = newline == std::string::npos ? "" : input.substr(newline + 1);
    if (env.empty()) {
        unsetenv("http_proxy");
    } else {
        setenv("http_proxy", env.c_str(), 1);
    }
    std::ofstream(UserFile(), std::ios::binary | std::ios::trunc) << text;
    const std::unique_ptr<Registry> registry = OpenFileRegistry("/dev/null", UserFile());
    const bool envSettings = RegFile::Parse(text).FindKey(std::string("HKEY_CURRENT_USER\\") +
                                                          kInternetSettingsKey) == nullptr;

    QuarInetOptions imported;
    if (inet::ImportBrowserSettings(*registry, imported)) {
        CheckTexts(imported);
        Check(!envSettings || strchr(imported.ProxyAddress, '@') == nullptr,
              "no credentials from http_proxy in the address");
    }
    const wininet::ProxyConfig layer =
        wininet::ReadPreconfiguredProxy(*registry, env.empty() ? nullptr : env.c_str());
    Check(layer.http.find('@') == std::string::npos || !envSettings,
          "no credentials from http_proxy in the layer's proxy");

    // The client's own settings, then saved and read again from a registry of their own.
    QuarInetOptions loaded;
    Check(inet::LoadOptions(*registry, "App", loaded), "a usable key name loads");
    CheckTexts(loaded);
    MemoryRegistry copy;
    if (inet::SaveOptions(copy, "App", loaded)) {
        QuarInetOptions again;
        Check(inet::LoadOptions(copy, "App", again), "saved settings load");
        Check(SameSettings(loaded, again), "saved settings read back the same");
    }
    return 0;
}
