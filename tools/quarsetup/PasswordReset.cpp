#include "PasswordReset.h"

#include "platform/DataDirectory.h"
#include "platform/Env.h"
#include "settings/ServerSettings.h"
#include "settings/SettingsStore.h"

bool ClearAdminPassword(const std::string& dataDirectory, std::string& error) {
    const std::string directory = WithTrailingSlash(dataDirectory);
    ServerSettings settings;
    if (!LoadServerSettings(settings, directory, Env::Default())) {
        error = "no server settings can be read in " + directory + " (has the server been set up?)";
        return false;
    }
    settings.adminPassword.clear();
    if (!SaveServerSettings(settings, directory, Env::Default())) {
        error = "cannot write the server settings in " + directory;
        return false;
    }
    return true;
}
