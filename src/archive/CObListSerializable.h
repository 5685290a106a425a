// CObList: an ordered list of object references, itself an object. It refers to its elements
// and never deletes them.
// CObListSerializable: the list that archives carry under the archive name
// "ListSerializable"; its elements are written each under its own class and read as unique
// (not shared) objects of any class.
#pragma once

#include <list>

#include "archive/CObject.h"

class CKvArchive;

class CObList : public CObject, public std::list<CObject*> {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
};

class CObListSerializable : public CObList {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }

    static void serialize(CObject& object, CKvArchive& ar);
};
