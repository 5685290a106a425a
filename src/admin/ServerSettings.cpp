#include "admin/ServerSettings.h"

void ServerSettings::Reset() {
    *this = ServerSettings();
    eventLogging = 1;
}
