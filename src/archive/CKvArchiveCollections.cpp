// The collection forms: header ("obj", type name, count), elements, "end".
#include <string>

#include "archive/CKvArchive.h"

namespace {

const char kStrings[] = "String*";
const char kObjects[] = "Object*";
const char kStringMap[] = "String->String";
const char kObjectMap[] = "String->Object";

}  // namespace

CKvArchive& CKvArchive::writeCollectionHeader(std::string_view typeName, std::int32_t count) {
    writer_->writeTag("obj");
    writer_->writeWord(typeName);
    writer_->writeInteger(count);
    enterContext(typeName);
    return *this;
}

std::int32_t CKvArchive::readCollectionHeader(std::string_view typeName) {
    bool isObj = reader_->readTagView() == "obj";
    std::string_view word = reader_->readWordView();
    if (!isObj || !(word == typeName || (word == "Integer*" && typeName == "Number*"))) {
        raise(kArBadArchive);
    }
    enterContext(word);
    return reader_->readInteger();
}

bool CKvArchive::peekEnd() {
    return loading_ && reader_->peekTagIs("end");
}

CKvArchive& CKvArchive::writeCollectionEnd() {
    leaveContext();
    writer_->writeTag("end");
    return *this;
}

CKvArchive& CKvArchive::readCollectionEnd() {
    leaveContext();
    reader_->nextToken();
    if (reader_->kind() != TokenKind::Tag || reader_->bytes() != "end") {
        raise(kArBadArchive);
    }
    return *this;
}

CKvArchive& CKvArchive::serializeStringList(std::list<std::string>& list) {
    if (!loading_) {
        writeCollectionHeader(kStrings, static_cast<std::int32_t>(list.size()));
        for (std::string& s : list) {
            serializeString(s);
        }
        return writeCollectionEnd();
    }
    std::int32_t expected = readCollectionHeader(kStrings);
    std::int64_t count = 0;
    while (!peekEnd()) {
        list.emplace_back();
        serializeString(list.back());
        ++count;
    }
    if (count != expected) {
        raise(kArBadStringListCount, count > 0 ? inputDetail(list.back()) : std::string());
    }
    return readCollectionEnd();
}

CKvArchive& CKvArchive::serializeStringArray(std::vector<std::string>& array) {
    if (!loading_) {
        writeCollectionHeader(kStrings, static_cast<std::int32_t>(array.size()));
        for (std::string& s : array) {
            serializeString(s);
        }
        return writeCollectionEnd();
    }
    std::int32_t expected = readCollectionHeader(kStrings);
    if (expected < 0) {
        raise(kArBadArchive, "(negative element count)");
    }
    // The array takes its final size element by element rather than all at once: the count
    // comes from the input and only elements actually present may cost memory.
    std::size_t n = static_cast<std::size_t>(expected);
    if (array.size() > n) {
        array.resize(n);
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (i == array.size()) {
            array.emplace_back();
        }
        serializeString(array[i]);
    }
    if (!peekEnd()) {
        raise(kArTooManyArrayElements);
    }
    return readCollectionEnd();
}

CKvArchive& CKvArchive::serializeObjectList(std::list<CObject*>& list, const ClassInfo* expected,
                                            bool shared) {
    if (!loading_) {
        writeCollectionHeader(kObjects, static_cast<std::int32_t>(list.size()));
        for (CObject* object : list) {
            // Each element under its own class.
            writeObject(object, nullptr, shared);
        }
        return writeCollectionEnd();
    }
    std::int32_t expectedCount = readCollectionHeader(kObjects);
    std::int64_t count = 0;
    while (!peekEnd()) {
        list.push_back(readObject(expected, shared));
        ++count;
    }
    if (count != expectedCount) {
        raise(kArBadObjectListCount);
    }
    return readCollectionEnd();
}

CKvArchive& CKvArchive::serializeStringMap(std::map<std::string, std::string>& map) {
    if (!loading_) {
        writeCollectionHeader(kStringMap, static_cast<std::int32_t>(map.size()));
        for (auto& pair : map) {
            writer_->writeWord(pair.first);
            serializeString(pair.second);
        }
        return writeCollectionEnd();
    }
    std::int32_t expected = readCollectionHeader(kStringMap);
    std::int64_t count = 0;
    std::string key;
    std::string value;
    while (!peekEnd()) {
        serializeString(key);
        serializeString(value);
        map[key] = value;
        ++count;  // a repeated key counts again
    }
    if (count != expected) {
        raise(kArBadStringMapCount, inputDetail(key) + "/" + inputDetail(value));
    }
    return readCollectionEnd();
}

CKvArchive& CKvArchive::serializeObjectMap(std::map<std::string, CObject*>& map, bool shared) {
    if (!loading_) {
        writeCollectionHeader(kObjectMap, static_cast<std::int32_t>(map.size()));
        for (auto& pair : map) {
            writer_->writeWord(pair.first);
            serializeObjectPtr(pair.second, nullptr, shared);
        }
        return writeCollectionEnd();
    }
    std::int32_t expected = readCollectionHeader(kObjectMap);
    std::int64_t count = 0;
    std::string key;
    while (!peekEnd()) {
        serializeString(key);
        CObject* value = nullptr;
        serializeObjectPtr(value, nullptr, shared);
        map[key] = value;
        ++count;
    }
    if (count != expected) {
        raise(kArBadObjectMapCount, inputDetail(key));
    }
    return readCollectionEnd();
}
