// The server settings: who runs the server, the administrator password, the inactivity
// time-out of administrator sessions, the event logging switch and the log viewer's choices.
#pragma once

#include <cstdint>
#include <string>

#include "archive/CObject.h"

class CKvArchive;

// Stored as one archive object: the five texts, the time-out, the logging switch, then the
// log viewer's five items, which older files may lack.
class ServerSettings : public CObject {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
    static void serialize(CObject& object, CKvArchive& ar);

    // Constructor defaults: every text empty, time-out 600 s, event logging off, log viewer
    // flags 0 and page size 40. Reset() gives the same values with event logging on.
    ServerSettings() = default;
    void Reset();

    std::string companyName;                       // form field "compname"
    std::string adminName;                         // "sysopname"
    std::string adminPhone;                        // "sysoptel"
    std::string adminEmail;                        // "sysopemail"
    std::string adminPassword;                     // "pswd1"; a "$y$" hash, or older plain text
    uint32_t inactivityTimeout = kDefaultTimeout;  // seconds; 0: sessions never expire
    int32_t eventLogging = 0;                      // 1: LogCode and the logs write

    // Log viewer choices.
    uint32_t logViewFlags = 0;
    int32_t logPageSize = kDefaultLogPageSize;
    std::string logProductFilter;
    std::string logUserFilter;
    std::string logComputerFilter;

    static constexpr uint32_t kDefaultTimeout = 600;
    static constexpr int32_t kDefaultLogPageSize = 40;
};
