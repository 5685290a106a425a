#include "archive/ClassRegistry.h"

#include <algorithm>
#include <utility>

#include "archive/CObListSerializable.h"
#include "archive/KxTime.h"

namespace {

// First bucket count of the lookup maps: a program enters a handful of classes, and every
// request of a CGI program builds the maps afresh (1021 buckets cleared 8 KB each time).
constexpr std::size_t kBuckets = 16;

void foldInto(std::string& out, std::string_view name) {
    out.assign(name.data(), name.size());
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
}

// Puts the entry under the key unless an entry of higher precedence is there already.
template <typename Map, typename Key>
void indexUnder(Map& map, Key&& key, const ClassEntry& entry) {
    const ClassEntry*& slot = map[std::forward<Key>(key)];
    if (slot == nullptr || slot->precedence <= entry.precedence) {
        slot = &entry;
    }
}

}  // namespace

ClassRegistry& ClassRegistry::instance() {
    static ClassRegistry registry;
    return registry;
}

void ClassRegistry::indexEntry(const ClassEntry& entry) {
    if (byClass_ != nullptr && entry.classInfo != nullptr) {
        indexUnder(*byClass_, entry.classInfo, entry);
    }
    if (byName_ != nullptr && !entry.archiveName.empty()) {
        std::string key;
        foldInto(key, entry.archiveName);
        indexUnder(*byName_, std::move(key), entry);
    }
    if (byWrapper_ != nullptr && entry.wrapperClass != nullptr) {
        indexUnder(*byWrapper_, entry.wrapperClass, entry);
    }
}

const ClassEntry* ClassRegistry::enterClass(std::string archiveName, const ClassInfo* classInfo,
                                            SerializeFunction serialize,
                                            ForeignHandler foreignHandler,
                                            const ClassInfo* wrapperClass,
                                            ClassPrecedence precedence) {
    auto entry = std::make_unique<ClassEntry>();
    entry->archiveName = std::move(archiveName);
    entry->classInfo = classInfo;
    entry->serialize = serialize;
    entry->foreignHandler = foreignHandler;
    entry->wrapperClass = wrapperClass;
    entry->precedence = precedence;
    entries_.push_back(std::move(entry));
    indexEntry(*entries_.back());
    return entries_.back().get();
}

void ClassRegistry::leaveClass(const ClassEntry* entry) {
    auto it =
        std::find_if(entries_.begin(), entries_.end(),
                     [entry](const std::unique_ptr<ClassEntry>& e) { return e.get() == entry; });
    if (it == entries_.end()) {
        return;
    }
    entries_.erase(it);
    // Rebuilt from the remaining entries on the next lookup, so that an entry it hid shows
    // again; an empty registry keeps no maps.
    byClass_.reset();
    byName_.reset();
    byWrapper_.reset();
}

const ClassEntry* ClassRegistry::findByName(std::string_view archiveName) {
    if (byName_ == nullptr) {
        byName_ = std::make_unique<NameMap>(kBuckets);
        for (const auto& e : entries_) {
            indexEntry(*e);
        }
    }
    foldInto(foldScratch_, archiveName);
    auto it = byName_->find(foldScratch_);
    return it == byName_->end() ? nullptr : it->second;
}

const ClassEntry* ClassRegistry::findByClass(const ClassInfo* classInfo) {
    if (byClass_ == nullptr) {
        byClass_ = std::make_unique<ClassMap>(kBuckets);
        for (const auto& e : entries_) {
            indexEntry(*e);
        }
    }
    auto it = byClass_->find(classInfo);
    return it == byClass_->end() ? nullptr : it->second;
}

const ClassEntry* ClassRegistry::findByWrapperClass(const ClassInfo* wrapperClass) {
    if (byWrapper_ == nullptr) {
        byWrapper_ = std::make_unique<ClassMap>(kBuckets);
        for (const auto& e : entries_) {
            indexEntry(*e);
        }
    }
    auto it = byWrapper_->find(wrapperClass);
    return it == byWrapper_->end() ? nullptr : it->second;
}

ClassRegistration::ClassRegistration(const char* archiveName, const ClassInfo* classInfo,
                                     SerializeFunction serialize, ForeignHandler foreignHandler,
                                     const ClassInfo* wrapperClass, ClassPrecedence precedence)
    : entry_(ClassRegistry::instance().enterClass(archiveName, classInfo, serialize, foreignHandler,
                                                  wrapperClass, precedence)) {}

ClassRegistration::~ClassRegistration() {
    ClassRegistry::instance().leaveClass(entry_);
}

// The classes that every program of the system enters. They are entered here rather than
// beside each class because this file is linked into every program that reads archives: an
// initialiser in a file that nothing else refers to would be left out of a static link.
namespace {

const ClassRegistration listSerializableEntry("ListSerializable", &CObListSerializable::classInfo,
                                              &CObListSerializable::serialize);
const ClassRegistration kxTimeEntry("KxTime", &KxTime::classInfo, &KxTime::serialize);

}  // namespace
