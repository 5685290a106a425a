// Record classes and helpers shared by the archive tests.
#pragma once

#include <gtest/gtest.h>

#include <list>
#include <string>

#include "archive/ByteStream.h"
#include "archive/CKvArchive.h"
#include "archive/CKvTokenizerException.h"
#include "archive/ClassRegistry.h"

// The worked example: title, count, tags.
class Note : public CObject {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
    static void serialize(CObject& object, CKvArchive& ar);

    std::string title;
    std::int32_t count = 0;
    std::list<std::string> tags;
};

// Two pointer members of any class, both shared.
class Pair : public CObject {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
    static void serialize(CObject& object, CKvArchive& ar);

    CObject* first = nullptr;
    CObject* second = nullptr;
};

// A Note subclass (no entry of its own).
class SpecialNote : public Note {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
};

// A class without an archive entry.
class Unregistered : public CObject {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
};

// Bytes written by `f` into a new storing archive.
template <class F>
std::string storeWith(F&& f) {
    MemoryStream out;
    CKvArchive ar(out, false);
    f(ar);
    return std::string(out.contents());
}

// The archive exception that `f` raises; fails the test when it raises none.
template <class F>
CKvArchiveException archiveErrorOf(F&& f) {
    try {
        f();
    } catch (const CKvArchiveException& e) {
        return e;
    }
    ADD_FAILURE() << "no CKvArchiveException";
    return CKvArchiveException(-1, "", "");
}

// The tokenizer exception code that `f` raises, or -1.
template <class F>
int tokenizerErrorOf(F&& f) {
    try {
        f();
    } catch (const CKvTokenizerException& e) {
        return e.code();
    }
    return -1;
}

// getErrorMessage into a generous buffer.
inline std::string messageOf(const CException& e) {
    char buf[1024];
    e.getErrorMessage(buf, sizeof buf);
    return buf;
}
