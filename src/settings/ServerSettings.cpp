#include "settings/ServerSettings.h"

#include "archive/CKvArchive.h"

const ClassInfo ServerSettings::classInfo = {"ServerSettings", sizeof(ServerSettings),
                                             &createObject<ServerSettings>, &CObject::classInfo};

void ServerSettings::Reset() {
    *this = ServerSettings();
    eventLogging = 1;
}

void ServerSettings::serialize(CObject& object, CKvArchive& ar) {
    ServerSettings& s = static_cast<ServerSettings&>(object);
    ar.serializeString(s.companyName)
        .serializeString(s.adminName)
        .serializeString(s.adminPhone)
        .serializeString(s.adminEmail)
        .serializeString(s.adminPassword)
        .serializeUInt32(s.inactivityTimeout)
        .serializeInt32(s.eventLogging);
    // The log viewer's choices came later: a file that ends before them keeps the defaults.
    if (ar.peekEnd()) {
        return;
    }
    ar.serializeUInt32(s.logViewFlags);
    if (ar.peekEnd()) {
        return;
    }
    ar.serializeInt32(s.logPageSize);
    if (ar.peekEnd()) {
        return;
    }
    ar.serializeString(s.logProductFilter);
    if (ar.peekEnd()) {
        return;
    }
    ar.serializeString(s.logUserFilter);
    if (ar.peekEnd()) {
        return;
    }
    ar.serializeString(s.logComputerFilter);
}
