#include "archive/CKvArchive.h"

#include <string>

#include "archive/ArchiveLimits.h"
#include "archive/CKvXDataWrapper.h"
#include "archive/ClassRegistry.h"

CKvArchive::CKvArchive(ByteStream& stream, bool loading) : loading_(loading) {
    if (loading) {
        ownedReader_ = std::make_unique<CKvTokenizer>(stream);
        reader_ = ownedReader_.get();
    } else {
        ownedWriter_ = std::make_unique<CKvUntokenizer>(stream);
        writer_ = ownedWriter_.get();
    }
}

CKvArchive::CKvArchive(CKvUntokenizer& writer) : loading_(false), writer_(&writer) {}

CKvArchive::CKvArchive(CKvTokenizer& reader) : loading_(true), reader_(&reader) {}

CKvArchive::~CKvArchive() = default;

// ---- errors and context ----

void CKvArchive::raise(std::int32_t code, std::string detail) {
    std::string path;
    for (std::size_t i = 0; i < contextPath_.size(); ++i) {
        if (i > 0) {
            path += '>';
        }
        path += contextPath_[i];
    }
    contextPath_.clear();
    throw CKvArchiveException(code, std::move(detail), std::move(path));
}

std::string CKvArchive::inputDetail(std::string_view text) {
    if (text.size() <= kMaxDetailInputBytes) {
        return std::string(text);
    }
    return std::string(text.substr(0, kMaxDetailInputBytes)) + "...";
}

void CKvArchive::enterContext(std::string_view name) {
    if (contextPath_.size() >= kMaxNestingDepth) {
        raise(kArBadArchive,
              "(objects nested deeper than " + std::to_string(kMaxNestingDepth) + " levels)");
    }
    contextPath_.emplace_back(name);
}

void CKvArchive::leaveContext() {
    if (!contextPath_.empty()) {
        contextPath_.pop_back();
    }
}

void CKvArchive::requireLoading(std::int32_t code) {
    if (!loading_) {
        raise(code);
    }
}

void CKvArchive::requireStoring(std::int32_t code) {
    if (loading_) {
        raise(code);
    }
}

// ---- objects made while loading ----

CObject* CKvArchive::keepObject(std::unique_ptr<CObject> object) {
    created_.push_back(std::move(object));
    return created_.back().get();
}

std::vector<std::unique_ptr<CObject>> CKvArchive::takeObjects() {
    std::vector<std::unique_ptr<CObject>> out;
    out.swap(created_);
    return out;
}

void CKvArchive::addShared(CObject* object) {
    if (static_cast<std::int64_t>(shared_.size()) >= kMaxSharedObjects) {
        raise(kArBadSharedDefinition,
              "(more than " + std::to_string(kMaxSharedObjects) + " shared objects)");
    }
    if (!loading_) {
        sharedIndex_.emplace(object, static_cast<std::int32_t>(shared_.size()));
    }
    shared_.push_back(object);
}

// ---- scalar members ----

CKvArchive& CKvArchive::serializeString(std::string& value) {
    if (loading_) {
        value.assign(reader_->readWordView());
    } else {
        writer_->writeWord(value);
    }
    return *this;
}

CKvArchive& CKvArchive::serializeInt32(std::int32_t& value) {
    if (loading_) {
        value = reader_->readInteger();
    } else {
        writer_->writeInteger(value);
    }
    return *this;
}

CKvArchive& CKvArchive::serializeUInt32(std::uint32_t& value) {
    if (loading_) {
        value = reader_->readUnsigned();
    } else {
        writer_->writeInteger(static_cast<std::int32_t>(value));
    }
    return *this;
}

CKvArchive& CKvArchive::serializeInt8(std::int8_t& value) {
    if (loading_) {
        std::int32_t v = reader_->readInteger();
        if (v < -128 || v > 127) {
            raise(kArOutOfLimits, "Input value was " + std::to_string(v));
        }
        value = static_cast<std::int8_t>(v);
    } else {
        writer_->writeInteger(value);
    }
    return *this;
}

CKvArchive& CKvArchive::serializeUInt8(std::uint8_t& value) {
    if (loading_) {
        std::uint32_t v = reader_->readUnsigned();
        if (v > 255) {
            raise(kArOutOfLimits, "Input value was " + std::to_string(v));
        }
        value = static_cast<std::uint8_t>(v);
    } else {
        writer_->writeInteger(value);
    }
    return *this;
}

CKvArchive& CKvArchive::serializeUInt16(std::uint16_t& value) {
    if (loading_) {
        std::uint32_t v = reader_->readUnsigned();
        if (v > 65535) {
            raise(kArOutOfLimits, "Input value was " + std::to_string(v));
        }
        value = static_cast<std::uint16_t>(v);
    } else {
        writer_->writeInteger(value);
    }
    return *this;
}

CKvArchive& CKvArchive::storeInt32(std::int32_t value) {
    requireStoring(kArReadOnly);
    writer_->writeInteger(value);
    return *this;
}

CKvArchive& CKvArchive::storeString(std::string_view value) {
    requireStoring(kArReadOnly);
    writer_->writeWord(value);
    return *this;
}

// ---- objects ----

CKvArchive& CKvArchive::serializeEmbedded(CObject& object, const ClassInfo* expected) {
    if (expected != nullptr && !object.isKindOf(expected)) {
        raise(kArBadClass, expected->className);
    }
    const ClassInfo* cls = expected != nullptr ? expected : object.getClassInfo();
    const ClassEntry* entry = ClassRegistry::instance().findByClass(cls);
    if (entry == nullptr || entry->serialize == nullptr) {
        raise(kArClassNotFound, cls->className);
    }
    if (loading_) {
        std::string_view tag = reader_->readTagView();
        if (tag != "obj") {
            raise(kArBadObjectTag, inputDetail(tag));
        }
        std::string_view name = reader_->readWordView();
        if (name != entry->archiveName) {
            raise(kArBadLabel, inputDetail(name) + "/" + entry->archiveName);
        }
    } else {
        writer_->writeTag("obj");
        writer_->writeWord(entry->archiveName);
    }
    enterContext(entry->archiveName);
    entry->serialize(object, *this);
    leaveContext();
    if (loading_) {
        skipObject();
    } else {
        writer_->writeTag("end");
    }
    return *this;
}

CKvArchive& CKvArchive::serializeObjectPtr(CObject*& slot, const ClassInfo* expected, bool shared) {
    if (loading_) {
        slot = readObject(expected, shared);
        return *this;
    }
    if (slot != nullptr && expected != nullptr && !slot->isKindOf(expected)) {
        raise(kArBadClass, expected->className);
    }
    return writeObject(slot, expected, shared);
}

CObject* CKvArchive::readObject(const ClassInfo* expected, bool shared) {
    requireLoading(kArWriteOnly);
    std::string_view tag = reader_->readTagView();
    if (tag == "null") {
        return nullptr;
    }
    if (tag == "ref") {
        if (!shared) {
            raise(kArUnexpectedSharing, "shared object");
        }
        std::int32_t index = reader_->readInteger();
        if (index < 0 || static_cast<std::size_t>(index) >= shared_.size()) {
            raise(kArBadSharedReference);
        }
        return shared_[static_cast<std::size_t>(index)];
    }
    bool defined = false;
    if (tag == "def") {
        std::int32_t index = reader_->readInteger();
        if (index < 0 || static_cast<std::size_t>(index) != shared_.size()) {
            raise(kArBadSharedDefinition);
        }
        tag = reader_->readTagView();
        defined = true;
    }
    if (defined != shared) {
        raise(kArUnexpectedSharing, shared ? "shared" : "unique");
    }
    if (tag != "obj") {
        raise(kArBadObjectTag, inputDetail(tag));
    }
    std::string name(reader_->readWordView());
    if (name.size() > kMaxArchiveNameBytes) {
        raise(kArClassNotFound, inputDetail(name) + " (name longer than " +
                                    std::to_string(kMaxArchiveNameBytes) + " bytes)");
    }
    const ClassEntry* entry = ClassRegistry::instance().findByName(name);

    if (entry != nullptr) {
        const ClassInfo* cls = entry->classInfo;
        if (expected != nullptr && !cls->isDerivedFrom(expected)) {
            raise(kArNoCurrentClass);
        }
        std::unique_ptr<CObject> made(cls->factory != nullptr ? cls->factory() : nullptr);
        if (made == nullptr || !made->isKindOf(cls)) {
            raise(kArCantCreate, cls->className);
        }
        CObject* object = keepObject(std::move(made));
        if (shared) {
            // Before the members, so that they may refer back to the object.
            addShared(object);
        }
        enterContext(name);
        if (entry->serialize != nullptr) {
            entry->serialize(*object, *this);
        }
        leaveContext();
        skipObject();
        return object;
    }

    ForeignHandler handler = nullptr;
    if (expected == nullptr || expected == &CObject::classInfo) {
        handler = &defaultForeignHandler;
    } else {
        const ClassEntry* expectedEntry = ClassRegistry::instance().findByClass(expected);
        handler = expectedEntry != nullptr ? expectedEntry->foreignHandler : nullptr;
        if (handler == nullptr) {
            raise(kArClassNotFound, inputDetail(name));
        }
    }
    CObject* object = nullptr;
    handler(name, object, *this);
    if (shared) {
        addShared(object);
    }
    return object;
}

CKvArchive& CKvArchive::writeObject(CObject* object, const ClassInfo* classInfo, bool shared) {
    requireStoring(kArReadOnly);
    if (object == nullptr) {
        writer_->writeTag("null");
        return *this;
    }
    const ClassInfo* cls = classInfo != nullptr ? classInfo : object->getClassInfo();
    if (!object->isKindOf(cls)) {
        raise(kArBadClass, cls->className);
    }
    const ClassEntry* entry = ClassRegistry::instance().findByClass(cls);
    if (shared) {
        auto found = sharedIndex_.find(object);
        if (found != sharedIndex_.end()) {
            writer_->writeTag("ref");
            writer_->writeInteger(found->second);
            return *this;
        }
        std::int32_t index = static_cast<std::int32_t>(shared_.size());
        addShared(object);
        writer_->writeTag("def");
        writer_->writeInteger(index);
    }
    if (entry != nullptr && entry->serialize != nullptr) {
        writer_->writeTag("obj");
        writer_->writeWord(entry->archiveName);
        enterContext(entry->archiveName);
        entry->serialize(*object, *this);
        leaveContext();
        writer_->writeTag("end");
        return *this;
    }
    ForeignHandler handler = nullptr;
    if (cls == &CKvXDataWrapper::classInfo) {
        handler = &defaultForeignHandler;
    } else {
        const ClassEntry* wrapperEntry = ClassRegistry::instance().findByWrapperClass(cls);
        handler = wrapperEntry != nullptr ? wrapperEntry->foreignHandler : nullptr;
    }
    if (handler == nullptr) {
        raise(kArClassNotFound, cls->className);
    }
    CObject* slot = object;
    handler(std::string(), slot, *this);
    return *this;
}
