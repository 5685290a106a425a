#include "settings/SettingsStore.h"

#include "archive/ByteStream.h"
#include "archive/CException.h"
#include "archive/CKvArchive.h"
#include "archive/ClassRegistry.h"

namespace {
// The archive name of the settings record.
const ClassRegistration kRegistration("quar_srv_settings", &ServerSettings::classInfo,
                                      &ServerSettings::serialize);
}  // namespace

bool LoadServerSettings(ServerSettings& settings, const std::string& dataDirectory, Env& env) {
    if (dataDirectory.empty()) {
        return false;
    }
    std::optional<std::string> bytes =
        env.ReadFile(dataDirectory + kSettingsFileName, static_cast<std::size_t>(-1));
    if (!bytes || bytes->empty()) {
        return false;
    }
    try {
        MemoryStream stream(std::move(*bytes));
        CKvArchive archive(stream, true);
        archive.serializeEmbedded(settings);
        return true;
    } catch (const CException&) {
        return false;
    }
}

bool SaveServerSettings(const ServerSettings& settings, const std::string& dataDirectory,
                        Env& env) {
    if (dataDirectory.empty()) {
        return false;
    }
    MemoryStream stream;
    try {
        CKvArchive archive(stream, false);
        ServerSettings copy = settings;
        archive.serializeEmbedded(copy);
    } catch (const CException&) {
        return false;
    }
    // Owner-only also when an older version or a hand left the file readable to others.
    return env.ReplaceFile(dataDirectory + kSettingsFileName, std::string(stream.contents()), 0600,
                           true);
}
