// The registry: keys under hives holding text and 32-bit values, with the result codes that
// callers test. The system registry keeps HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE in the
// machine file and HKEY_CURRENT_USER in the user file (see OpenSystemRegistry).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/RegFile.h"

enum class Hive { ClassesRoot, LocalMachine, CurrentUser };

// Result codes of registry operations, with their Windows numbers.
constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_FILE_NOT_FOUND = 2;  // missing key or value
constexpr long ERROR_ACCESS_DENIED = 5;   // the file cannot be written
constexpr long ERROR_INVALID_DATA = 13;   // a value of the other type
constexpr long ERROR_INVALID_NAME = 123;  // a key path or value name that cannot be written
constexpr long ERROR_MORE_DATA = 234;     // value too long for the caller's buffer
constexpr long ERROR_BADDB = 1009;        // the file cannot be read, or is no registry file

// A registry file is a few keys; a larger file (or a device such as /dev/zero named in its
// place) is refused with ERROR_BADDB instead of being read without end.
constexpr std::size_t kMaxRegistryFileBytes = 1u << 20;

// The key that holds the proxy choice of the current user's browser.
constexpr const char* kInternetSettingsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

class Registry {
  public:
    virtual ~Registry() = default;

    // Reads a value; name "" is the key's default value. ERROR_FILE_NOT_FOUND when the key or
    // value is missing, ERROR_INVALID_DATA when it has the other type, ERROR_BADDB when the
    // file is there but cannot be read or is too large.
    virtual long QueryText(Hive hive, const std::string& key, const std::string& name,
                           std::string* text) = 0;
    virtual long QueryDword(Hive hive, const std::string& key, const std::string& name,
                            uint32_t* value) = 0;
    virtual bool KeyExists(Hive hive, const std::string& key) = 0;

    // Writers create the key when missing. A write is atomic: a reader sees the old or the new
    // file, never a part of one. A file that cannot be read is left as it is (ERROR_BADDB).
    virtual long CreateKey(Hive hive, const std::string& key) = 0;
    virtual long SetText(Hive hive, const std::string& key, const std::string& name,
                         const std::string& text) = 0;
    virtual long SetDword(Hive hive, const std::string& key, const std::string& name,
                          uint32_t value) = 0;
};

// The machine file when the environment names none.
constexpr const char* kDefaultMachineRegistryFile = "/etc/quar/machine.reg";

// The machine file: $QUAR_MACHINE_REGISTRY when set and not empty, else the default.
std::string MachineRegistryFile();

// The registry over the two files: the machine file is MachineRegistryFile(); the user file is
// $QUAR_USER_REGISTRY, else $XDG_CONFIG_HOME/quar/user.reg, else ~/.config/quar/user.reg. Where the
// user file has no Internet Settings key, reading it gives ProxyEnable and ProxyServer derived from
// http_proxy.
std::unique_ptr<Registry> OpenSystemRegistry();

// Reads a registry file whole for a query, as ReadWholeFile(path, maxBytes, true) reads it.
// Changes read the file themselves, under the registry's lock.
using RegistryReader =
    std::function<std::optional<std::string>(const std::string& path, std::size_t maxBytes)>;
// OpenSystemRegistry whose queries read the files through `read`.
std::unique_ptr<Registry> OpenSystemRegistry(RegistryReader read);

// The user file that OpenSystemRegistry reads and writes.
std::string UserRegistryFile();

// Whether `path` can serve as a registry file: missing (nothing stored yet), or a readable file
// whose text begins with "REGEDIT4". A file that is not is read as holding nothing.
bool RegistryFileUsable(const std::string& path);

// The same over two given files, for installers and tests.
std::unique_ptr<Registry> OpenFileRegistry(std::string machineFile, std::string userFile);

// RegQueryValueA: the default value of `subKey` into `buffer` of `*size` bytes, NUL included.
// On success *size is the length copied plus one; ERROR_MORE_DATA (and the needed size) when
// the buffer is too small.
long RegQueryValueA(Registry& registry, Hive hive, const char* subKey, char* buffer, long* size);
