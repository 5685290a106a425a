// The single administrator session: who logged in, with which token, and when the session was
// last used. Stored in its own file of the data directory.
#pragma once

#include <cstdint>
#include <string>

#include "archive/CObject.h"

class CKvArchive;

class AdminSession : public CObject {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
    // Members in stored order; the reserved item is optional when loading.
    static void serialize(CObject& object, CKvArchive& ar);

    static constexpr int32_t kVersion = 2;

    // All texts empty, all numbers 0.
    void Reset() { *this = AdminSession(); }

    // XOR of fold(client), fold(proxy), fold(remote host), last activity and fold(token).
    uint32_t ComputeChecksum() const;

    int32_t version = 0;
    std::string clientAddress;
    std::string proxyAddress;
    std::string remoteHost;
    uint32_t lastActivity = 0;  // seconds since 1970
    std::string token;
    uint32_t checksum = 0;
    uint32_t reserved = 0;
};

// fold(text): the length, XORed with the text's bytes taken in groups of four (first byte most
// significant, the last group possibly shorter); 0 for an empty text.
uint32_t FoldText(const std::string& text);

// The inactivity rules, with `now` in seconds since 1970. Pages: a session is expired when
// its time-out is not 0 and last activity + time-out < now (the exact end is still
// accepted). Login: a session is active while now < last activity + time-out, so with
// time-out 0 never.
bool SessionExpired(uint32_t lastActivity, uint32_t timeout, uint64_t now);
bool SessionActive(uint32_t lastActivity, uint32_t timeout, uint64_t now);

// The session as a stored file's bytes, and back. Load fails (false) on bytes that are not a
// session archive (`malformed` set: the caller deletes the file) or whose checksum differs.
std::string StoreSession(AdminSession& session);
bool LoadSessionBytes(const std::string& bytes, AdminSession& session, bool* malformed);
