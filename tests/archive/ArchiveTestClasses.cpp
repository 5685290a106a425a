#include "ArchiveTestClasses.h"

#include "archive/KxTime.h"

const ClassInfo Note::classInfo{"Note", sizeof(Note), &createObject<Note>, &CObject::classInfo};
const ClassInfo Pair::classInfo{"Pair", sizeof(Pair), &createObject<Pair>, &CObject::classInfo};
const ClassInfo SpecialNote::classInfo{"SpecialNote", sizeof(SpecialNote),
                                       &createObject<SpecialNote>, &Note::classInfo};
const ClassInfo Unregistered::classInfo{"Unregistered", sizeof(Unregistered),
                                        &createObject<Unregistered>, &CObject::classInfo};

void Note::serialize(CObject& object, CKvArchive& ar) {
    auto& n = static_cast<Note&>(object);
    ar.serializeString(n.title).serializeInt32(n.count).serializeStringList(n.tags);
}

void Pair::serialize(CObject& object, CKvArchive& ar) {
    auto& p = static_cast<Pair&>(object);
    ar.serializeObjectPtr(p.first, nullptr, true).serializeObjectPtr(p.second, nullptr, true);
}

namespace {

const ClassRegistration noteEntry("Note", &Note::classInfo, &Note::serialize);
const ClassRegistration pairEntry("Pair", &Pair::classInfo, &Pair::serialize);

}  // namespace
