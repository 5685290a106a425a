#include "admin/AdminSession.h"

#include "archive/ByteStream.h"
#include "archive/CException.h"
#include "archive/CKvArchive.h"
#include "archive/ClassRegistry.h"

const ClassInfo AdminSession::classInfo = {"AdminSession", sizeof(AdminSession),
                                           &createObject<AdminSession>, &CObject::classInfo};

namespace {
const ClassRegistration kRegistration("quar_lm_admin_sf", &AdminSession::classInfo,
                                      &AdminSession::serialize);
}  // namespace

void AdminSession::serialize(CObject& object, CKvArchive& ar) {
    AdminSession& s = static_cast<AdminSession&>(object);
    ar.serializeInt32(s.version)
        .serializeString(s.clientAddress)
        .serializeString(s.proxyAddress)
        .serializeString(s.remoteHost)
        .serializeUInt32(s.lastActivity)
        .serializeString(s.token)
        .serializeUInt32(s.checksum);
    if (!ar.peekEnd()) {
        ar.serializeUInt32(s.reserved);
    }
}

uint32_t FoldText(const std::string& text) {
    if (text.empty()) {
        return 0;
    }
    uint32_t result = static_cast<uint32_t>(text.size());
    for (std::size_t i = 0; i < text.size(); i += 4) {
        uint32_t group = 0;
        for (std::size_t k = i; k < i + 4 && k < text.size(); ++k) {
            group = (group << 8) + static_cast<unsigned char>(text[k]);
        }
        result ^= group;
    }
    return result;
}

uint32_t AdminSession::ComputeChecksum() const {
    return FoldText(clientAddress) ^ FoldText(proxyAddress) ^ FoldText(remoteHost) ^ lastActivity ^
           FoldText(token);
}

bool SessionExpired(uint32_t lastActivity, uint32_t timeout, uint64_t now) {
    return timeout != 0 && uint64_t{lastActivity} + timeout < now;
}

bool SessionActive(uint32_t lastActivity, uint32_t timeout, uint64_t now) {
    return now < uint64_t{lastActivity} + timeout;
}

std::string StoreSession(AdminSession& session) {
    session.checksum = session.ComputeChecksum();
    MemoryStream stream;
    CKvArchive archive(stream, false);
    archive.serializeEmbedded(session);
    return std::string(stream.contents());
}

bool LoadSessionBytes(const std::string& bytes, AdminSession& session, bool* malformed) {
    *malformed = false;
    if (bytes.empty()) {
        return false;
    }
    try {
        MemoryStream stream(bytes);
        CKvArchive archive(stream, true);
        archive.serializeEmbedded(session);
    } catch (const CException&) {
        *malformed = true;
        return false;
    }
    return session.checksum == session.ComputeChecksum();
}
