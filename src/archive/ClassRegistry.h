// ClassRegistry: the process-wide table of classes that archives can create and write.
//
// Each entry ties an archive name (the word after "obj", e.g. "KxTime") to a class and its
// serialize function. Serializable classes enter themselves through a static
// ClassRegistration object, which costs one small allocation at start-up; the lookup maps are
// built on the first lookup, not at start-up. Lookups:
//   findByName         archive name, ignoring ASCII letter case
//   findByClass        ClassInfo
//   findByWrapperClass the class that an entry's foreign-object handler produces
// A later entry with the same key hides an earlier one of the same precedence, and a program's
// own entry hides a library's whatever their order (static entries are made in an order that
// the link decides); leaving it makes the hidden one visible again. Not thread-safe: entries
// are made before main and lookups run on one thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/CObject.h"

class CKvArchive;

// Reads (loading archive) or writes (storing archive) the members of `object` in a fixed
// order through the archive's member operations.
using SerializeFunction = void (*)(CObject& object, CKvArchive& ar);

// Reads or writes an object whose archive name has no serialize function. Loading: the
// archive has consumed "obj" and the name; the handler consumes the rest up to and including
// its "end" and puts the object it made into `slot` (ownership passes to the archive through
// CKvArchive::keepObject). Storing: `slot` holds the object and `archiveName` is empty; the
// handler writes the object's whole embedded form.
using ForeignHandler = void (*)(const std::string& archiveName, CObject*& slot, CKvArchive& ar);

// Who made an entry: the libraries enter the system's classes, a program may replace one with
// its own choice.
enum class ClassPrecedence { Library, Program };

struct ClassEntry {
    std::string archiveName;
    const ClassInfo* classInfo = nullptr;
    SerializeFunction serialize = nullptr;
    ForeignHandler foreignHandler = nullptr;
    const ClassInfo* wrapperClass = nullptr;
    ClassPrecedence precedence = ClassPrecedence::Library;
};

class ClassRegistry {
  public:
    static ClassRegistry& instance();

    // Enters a class; the registry owns the entry until leaveClass.
    const ClassEntry* enterClass(std::string archiveName, const ClassInfo* classInfo,
                                 SerializeFunction serialize,
                                 ForeignHandler foreignHandler = nullptr,
                                 const ClassInfo* wrapperClass = nullptr,
                                 ClassPrecedence precedence = ClassPrecedence::Library);
    void leaveClass(const ClassEntry* entry);

    // Null when there is no entry.
    const ClassEntry* findByName(std::string_view archiveName);
    const ClassEntry* findByClass(const ClassInfo* classInfo);
    const ClassEntry* findByWrapperClass(const ClassInfo* wrapperClass);

  private:
    ClassRegistry() = default;

    using ClassMap = std::unordered_map<const ClassInfo*, const ClassEntry*>;
    using NameMap = std::unordered_map<std::string, const ClassEntry*>;

    void indexEntry(const ClassEntry& entry);

    std::vector<std::unique_ptr<ClassEntry>> entries_;  // in order of entry
    std::unique_ptr<ClassMap> byClass_;
    std::unique_ptr<NameMap> byName_;  // keys upper-cased
    std::unique_ptr<ClassMap> byWrapper_;
    std::string foldScratch_;
};

// Enters a class for the lifetime of the object: a static one enters at program start and
// leaves at program exit.
class ClassRegistration {
  public:
    ClassRegistration(const char* archiveName, const ClassInfo* classInfo,
                      SerializeFunction serialize, ForeignHandler foreignHandler = nullptr,
                      const ClassInfo* wrapperClass = nullptr,
                      ClassPrecedence precedence = ClassPrecedence::Library);
    ~ClassRegistration();
    ClassRegistration(const ClassRegistration&) = delete;
    ClassRegistration& operator=(const ClassRegistration&) = delete;

    const ClassEntry* entry() const { return entry_; }

  private:
    const ClassEntry* entry_;
};
