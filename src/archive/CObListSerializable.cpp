#include "archive/CObListSerializable.h"

#include "archive/CKvArchive.h"

const ClassInfo CObList::classInfo{"CObList", sizeof(CObList), &createObject<CObList>,
                                   &CObject::classInfo};

const ClassInfo CObListSerializable::classInfo{"CObListSerializable", sizeof(CObListSerializable),
                                               &createObject<CObListSerializable>,
                                               &CObList::classInfo};

void CObListSerializable::serialize(CObject& object, CKvArchive& ar) {
    ar.serializeObjectList(static_cast<CObListSerializable&>(object), nullptr, false);
}
