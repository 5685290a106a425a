#include "archive/CObject.h"

const ClassInfo CObject::classInfo{"CObject", sizeof(CObject), nullptr, nullptr};

bool ClassInfo::isDerivedFrom(const ClassInfo* other) const {
    if (other == nullptr) {
        return false;
    }
    for (const ClassInfo* c = this; c != nullptr; c = c->base) {
        if (c == other) {
            return true;
        }
    }
    return false;
}
