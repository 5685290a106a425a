// Loading, saving and importing the connection options over a registry. QuarInetOptions calls
// these with the system registry; tests pass a registry of their own.
#pragma once

#include "QuarInet.h"
#include "platform/Registry.h"

namespace inet {

// The longest settings key name: the stored paths were built in 260-byte buffers.
constexpr size_t kMaxKeyNameLength = 229;

// Where settings are written, and where those of older installations were kept.
constexpr const char* kSettingsRoot = "Software\\TARVELON, INC\\Quar 8\\";
constexpr const char* kOlderSettingsRoot = "Software\\TARVELON, INC\\Quar 7\\";

// Reads the settings stored under `keyName`: the current key when it exists, else the key of
// older installations, else nothing changes. A missing, wrong-typed or too long value takes the
// member's default. False for a null, empty or too long name.
bool LoadOptions(Registry& registry, const char* keyName, QuarInetOptions& options);

// Whether settings are stored under `keyName` (the current key or that of older
// installations). False for a null, empty or too long name.
bool OptionsStored(Registry& registry, const char* keyName);

// Writes the seven settings under the current key. False for a null, empty or too long name, or
// when any value could not be written.
bool SaveOptions(Registry& registry, const char* keyName, const QuarInetOptions& options);

// Copies the browser's proxy choice (ProxyEnable, ProxyServer) into `options`: proxy or direct,
// no authentication. False, record unchanged, when the settings key cannot be read.
bool ImportBrowserSettings(Registry& registry, QuarInetOptions& options);

// Splits a "ProxyServer" value ("host:port", or a list with an "http=" entry) into address and
// port; texts that do not fit the record are cut.
void SplitProxyServer(const std::string& server, QuarInetOptions& options);

}  // namespace inet
