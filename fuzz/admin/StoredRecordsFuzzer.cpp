// The stored records of the administration program on any file content: the server settings
// and the administrator session are read through the archive as the programs read them; what
// loads is written again, and the written bytes load to the same record and write the same
// bytes.
//
// Input: a selector byte (even: settings, odd: session), then the file's bytes.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "admin/AdminSession.h"
#include "archive/ByteStream.h"
#include "archive/CException.h"
#include "archive/CKvArchive.h"
#include "platform/Env.h"
#include "settings/SettingsStore.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

// The data directory the settings are read from, with its trailing "/"; it goes when the
// fuzzer exits.
std::string DataDirectory() {
    static char path[64];
    if (path[0] == '\0') {
        // On tmpfs when there is one: a file truncated and written again on ext4 is flushed
        // at close, which made the campaign wait on the disk instead of running inputs.
        const char* made = nullptr;
        char pattern[] = "/dev/shm/records_fuzz.XXXXXX";
        char fallback[] = "/tmp/records_fuzz.XXXXXX";
        if ((made = mkdtemp(pattern)) == nullptr && (made = mkdtemp(fallback)) == nullptr) {
            abort();
        }
        snprintf(path, sizeof path, "%s/", made);
        atexit([] {
            unlink((std::string(path) + kSettingsFileName).c_str());
            rmdir(path);
        });
    }
    return path;
}

bool LoadSettings(const std::string& bytes, ServerSettings& settings) {
    std::ofstream(DataDirectory() + kSettingsFileName, std::ios::binary | std::ios::trunc) << bytes;
    return LoadServerSettings(settings, DataDirectory(), Env::Default());
}

// The bytes SaveServerSettings writes, without its file.
std::string StoreSettings(const ServerSettings& settings) {
    MemoryStream stream;
    CKvArchive archive(stream, false);
    ServerSettings copy = settings;
    archive.serializeEmbedded(copy);
    return std::string(stream.contents());
}

bool SameSettings(const ServerSettings& a, const ServerSettings& b) {
    return a.companyName == b.companyName && a.adminName == b.adminName &&
           a.adminPhone == b.adminPhone && a.adminEmail == b.adminEmail &&
           a.adminPassword == b.adminPassword && a.inactivityTimeout == b.inactivityTimeout &&
           a.eventLogging == b.eventLogging && a.logViewFlags == b.logViewFlags &&
           a.logPageSize == b.logPageSize && a.logProductFilter == b.logProductFilter &&
           a.logUserFilter == b.logUserFilter && a.logComputerFilter == b.logComputerFilter;
}

bool SameSession(const AdminSession& a, const AdminSession& b) {
    return a.version == b.version && a.clientAddress == b.clientAddress &&
           a.proxyAddress == b.proxyAddress && a.remoteHost == b.remoteHost &&
           a.lastActivity == b.lastActivity && a.token == b.token && a.checksum == b.checksum &&
           a.reserved == b.reserved;
}

void Settings(const std::string& bytes) {
    ServerSettings first;
    if (!LoadSettings(bytes, first)) {
        return;
    }
    const std::string written = StoreSettings(first);
    ServerSettings second;
    Check(LoadSettings(written, second), "written settings load");
    Check(SameSettings(first, second), "settings survive writing");
    Check(StoreSettings(second) == written, "settings write the same bytes");
}

void Session(const std::string& bytes) {
    AdminSession first;
    bool malformed = false;
    const bool loaded = LoadSessionBytes(bytes, first, &malformed);
    Check(!(loaded && malformed), "a loaded session is not malformed");
    if (malformed) {
        return;
    }
    // A session whose checksum differs is written with its own checksum and then loads.
    const std::string written = StoreSession(first);
    AdminSession second;
    Check(LoadSessionBytes(written, second, &malformed), "a written session loads");
    Check(SameSession(first, second), "the session survives writing");
    Check(StoreSession(second) == written, "the session writes the same bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 1) {
        Session(bytes);
    } else {
        Settings(bytes);
    }
    return 0;
}
