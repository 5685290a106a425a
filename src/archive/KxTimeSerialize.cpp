// The archive forms of KxTime, apart from KxTime.cpp so that programs that only format times
// do not pull in the archive.
#include "archive/CKvArchive.h"
#include "archive/KxTime.h"

void KxTime::serialize(CObject& object, CKvArchive& ar) {
    auto& t = static_cast<KxTime&>(object);
    ar.serializeUInt16(t.year)
        .serializeUInt8(t.month)
        .serializeUInt8(t.day)
        .serializeUInt8(t.hour)
        .serializeUInt8(t.minute)
        .serializeUInt8(t.second)
        .serializeInt8(t.isGmt);
}

void KxTime::serializeStoreOnly(CObject& object, CKvArchive& ar) {
    auto& t = static_cast<KxTime&>(object);
    ar.storeInt32(t.year)
        .storeInt32(t.month)
        .storeInt32(t.day)
        .storeInt32(t.hour)
        .storeInt32(t.minute)
        .storeInt32(t.second)
        .serializeInt8(t.isGmt);
}
