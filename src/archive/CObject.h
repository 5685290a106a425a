// Root of the archive's object model: a class descriptor per class and the root object class.
//
// Every class that the archive creates or writes by pointer derives from CObject and publishes
// one ClassInfo. The descriptors are plain constant data (constant-initialised, no start-up
// work), so they can be referred to from static initialisers of any translation unit.
#pragma once

#include <cstddef>

class CObject;

// Class descriptor. `factory` is null for classes that the archive must not create; it
// returns a default-constructed object owned by the caller.
struct ClassInfo {
    const char* className;  // runtime class name, e.g. "KxTime"
    std::size_t objectSize;
    CObject* (*factory)();
    const ClassInfo* base;  // null only for CObject itself

    // True when this class is `other` or derives from it.
    bool isDerivedFrom(const ClassInfo* other) const;
};

class CObject {
  public:
    static const ClassInfo classInfo;

    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
    virtual ~CObject() = default;

    virtual const ClassInfo* getClassInfo() const { return &classInfo; }

    // True when the object's class or one of its bases is `info`.
    bool isKindOf(const ClassInfo* info) const { return getClassInfo()->isDerivedFrom(info); }
};

// Factory for ClassInfo::factory of a default-constructible class.
template <class T>
CObject* createObject() {
    return new T();
}
