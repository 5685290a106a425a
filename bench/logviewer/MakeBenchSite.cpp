// make_logviewer_site DIR LINES: an installation for timing the log viewer. DIR/data holds the
// settings of a set-up server, an administrator session for client 127.0.0.1 and token
// "benchtoken" that never expires, and an event log of LINES events of the kinds the servers
// write; DIR/machine.reg registers DIR/data as the data directory; DIR/tmp is the TMP folder.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "admin/AdminApplication.h"
#include "admin/AdminSession.h"
#include "eventlog/EventRecord.h"
#include "eventlog/LogFiles.h"
#include "platform/DataDirectory.h"
#include "platform/FileUtil.h"
#include "platform/Registry.h"
#include "platform/Scramble.h"
#include "settings/ServerSettings.h"
#include "settings/SettingsStore.h"

namespace {

constexpr const char* kCodes[] = {"LOGIN",   "LOGOUT",      "AUTOLOGOUT", "LOGGET_OTHER",
                                  "MESSAGE", "ERR_WRITESF", "INIT",       "QUAR_SYNC"};
constexpr const char* kProducts[] = {"Quar Mail", "Quar Fax", "Quar Voice", ""};
constexpr const char* kComputers[] = {"OFFICE-PC1", "RECEPTION", "SRV-BACKUP", "LAPTOP-07"};

bool WriteLog(const std::string& path, long lines) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    EventRecord event;
    std::string line;
    for (long i = 0; i < lines; ++i) {
        event.code = kCodes[i % 8];
        event.time = static_cast<std::int32_t>(1249000000 + i * 7);
        event.clientAddress = "192.168." + std::to_string(i % 13) + "." + std::to_string(i % 251);
        event.proxyAddress = i % 5 == 0 ? "10.0.0.1" : "";
        event.user = i % 9 == 0 ? "operator" : "NBX_admin";
        event.computer = kComputers[i % 4];
        event.product = kProducts[i % 3];
        event.message = i % 8 == 4 ? "Options updated." : "request " + std::to_string(i);
        line = event.FormatLine();
        line += "\r\n";
        std::fwrite(line.data(), 1, line.size(), file);
    }
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DIR LINES\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const long lines = std::atol(argv[2]);
    const std::string data = dir + "/data/";
    ::mkdir(dir.c_str(), 0755);
    ::mkdir(data.c_str(), 0700);
    ::mkdir((dir + "/tmp").c_str(), 0755);

    OpenFileRegistry(dir + "/machine.reg", "/dev/null")
        ->SetText(Hive::ClassesRoot, DataDirectoryKey(), "", scramble(data));

    ServerSettings settings;
    settings.Reset();
    settings.companyName = "Acme";
    settings.adminName = "Jo";
    settings.adminPhone = "555";
    settings.adminPassword = "secret";
    settings.inactivityTimeout = 0;  // the session never expires during the runs
    AdminSession session;
    session.version = AdminSession::kVersion;
    session.clientAddress = "127.0.0.1";
    session.token = "benchtoken";
    session.lastActivity = static_cast<std::uint32_t>(std::time(nullptr));
    if (!SaveServerSettings(settings, data, Env::Default()) ||
        !ReplaceFileAtomically(data + AdminApplication::kSessionFileName, StoreSession(session),
                               0600) ||
        !WriteLog(data + kEventLogName, lines)) {
        std::perror(dir.c_str());
        return 1;
    }
    return 0;
}
