// Loads arbitrary bytes as an archive with the system's classes and a record that uses every
// member operation. Every input must either load or end in CKvArchiveException or
// CKvTokenizerException. What loads is written back, and the written text must load again and
// write the very same text.
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "archive/ByteStream.h"
#include "archive/CKvArchive.h"
#include "archive/CKvTokenizerException.h"
#include "archive/ClassRegistry.h"
#include "archive/KxTime.h"

namespace {

class FuzzRecord : public CObject {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }

    static void serialize(CObject& object, CKvArchive& ar) {
        auto& r = static_cast<FuzzRecord&>(object);
        ar.serializeString(r.text)
            .serializeInt32(r.i32)
            .serializeUInt32(r.u32)
            .serializeInt8(r.i8)
            .serializeUInt8(r.u8)
            .serializeUInt16(r.u16)
            .serializeEmbedded(r.time)
            .serializeStringList(r.list)
            .serializeStringArray(r.array)
            .serializeStringMap(r.strings)
            .serializeObjectMap(r.objects, true)
            .serializeObjectPtr(r.unique, nullptr, false);
    }

    std::string text;
    std::int32_t i32 = 0;
    std::uint32_t u32 = 0;
    std::int8_t i8 = 0;
    std::uint8_t u8 = 0;
    std::uint16_t u16 = 0;
    KxTime time;
    std::list<std::string> list;
    std::vector<std::string> array;
    std::map<std::string, std::string> strings;
    std::map<std::string, CObject*> objects;
    CObject* unique = nullptr;
};

const ClassInfo FuzzRecord::classInfo{"FuzzRecord", sizeof(FuzzRecord), &createObject<FuzzRecord>,
                                      &CObject::classInfo};
const ClassRegistration fuzzRecordEntry("FuzzRecord", &FuzzRecord::classInfo,
                                        &FuzzRecord::serialize);

bool atEnd(CKvTokenizer& tok) {
    tok.nextToken();
    bool end = tok.kind() == TokenKind::StreamSeparator && tok.bytes().empty();
    tok.ungetToken();
    return end;
}

// Loads every top-level object pointer of `text` and writes them into a new text. False when
// loading raised one of the archive's exceptions.
bool reload(const std::string& text, bool shared, std::string& written) {
    MemoryStream in(text);
    CKvTokenizer tok(in);
    CKvArchive loader(tok);
    std::vector<CObject*> objects;
    try {
        while (!atEnd(tok)) {
            objects.push_back(loader.readObject(nullptr, shared));
        }
    } catch (const CKvArchiveException&) {
        return false;
    } catch (const CKvTokenizerException&) {
        return false;
    }
    MemoryStream out;
    CKvArchive storer(out, false);
    for (CObject* o : objects) {
        storer.writeObject(o, nullptr, shared);
    }
    written = out.release();
    return true;
}

// Plain token walk and replay: exercises the tokenizer and untokenizer on their own.
void replayTokens(const std::string& text) {
    MemoryStream in(text), out;
    CKvTokenizer tok(in);
    CKvUntokenizer untok(out);
    std::string bytes;
    try {
        for (;;) {
            TokenKind kind = tok.tokenBytes(bytes);
            if (kind == TokenKind::StreamSeparator) {
                if (bytes.empty()) {
                    break;
                }
                continue;
            }
            untok.nextToken(kind, bytes);
        }
    } catch (const CKvTokenizerException&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte chooses whether top-level objects are read as shared.
    bool shared = (data[0] & 1) != 0;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    replayTokens(text);
    std::string first;
    if (!reload(text, shared, first)) {
        return 0;
    }
    std::string second;
    if (!reload(first, shared, second) || second != first) {
        __builtin_trap();  // what the archive wrote, it must read back unchanged
    }
    return 0;
}
