// The settings record's file in the data directory.
#pragma once

#include <string>

#include "platform/Env.h"
#include "settings/ServerSettings.h"

// The file name of the settings record in the data directory.
constexpr const char* kSettingsFileName = "quar_settings.dat";

// Reads the record from the data directory ("" when none is configured: fails) through env.
// False when the file is missing, empty or not a settings archive; `settings` is
// then unspecified and the caller resets it.
bool LoadServerSettings(ServerSettings& settings, const std::string& dataDirectory, Env& env);

// Writes the record through env, replacing the file atomically; the file is readable by its
// owner only, since it holds the administrator password.
bool SaveServerSettings(const ServerSettings& settings, const std::string& dataDirectory, Env& env);
