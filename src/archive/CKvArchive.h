// CKvArchive: reads or writes a tree (or graph) of objects as archive text.
//
// A record class has one serialize function that calls the member operations below in a fixed
// order; each operation reads when the archive is loading and writes when it is storing, so
// the same function serves both directions. Members are known by their order only; a reader
// that knows fewer members than were written skips the rest of the object.
//
// Text forms:
//   embedded object  {CR}{LF}obj|<archive name>|<members...>{CR}{LF}end
//   object pointer   {CR}{LF}null | {CR}{LF}ref|<index> | {CR}{LF}def|<index> + embedded form
//                    (first appearance of a shared object) | the embedded form (unique)
//   collection       {CR}{LF}obj|<type name>|<count><elements...>{CR}{LF}end
//
// Errors raise CKvArchiveException (code, detail, context path); errors of the token text
// pass through as CKvTokenizerException. After either the archive is abandoned.
//
// Ownership: the archive never owns its stream, nor a tokenizer or untokenizer given to it.
// Objects that a loading archive creates (by pointer members, object lists and maps, foreign
// objects) belong to the archive until takeObjects() hands them to the caller; destroying the
// archive deletes those not taken. Lists, maps and shared references only refer to objects.
//
// Example, answering through standard output:
//   StdOutStream out;
//   CKvUntokenizer writer(out);
//   CKvArchive reply(writer);
//   reply.storeString("ACK_ERR").storeString(message);
// and reading a request held in memory:
//   MemoryStream body(bytes);
//   CKvArchive request(body, true);
//   std::string name;
//   request.serializeString(name);
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/CKvArchiveException.h"
#include "archive/CKvTokenizer.h"
#include "archive/CKvUntokenizer.h"
#include "archive/CObject.h"

class ByteStream;

class CKvArchive {
  public:
    // Over a stream: creates and owns a tokenizer (loading) or untokenizer (storing).
    CKvArchive(ByteStream& stream, bool loading);
    // Storing over the caller's untokenizer.
    explicit CKvArchive(CKvUntokenizer& writer);
    // Loading over the caller's tokenizer.
    explicit CKvArchive(CKvTokenizer& reader);
    ~CKvArchive();
    CKvArchive(const CKvArchive&) = delete;
    CKvArchive& operator=(const CKvArchive&) = delete;

    bool isLoading() const { return loading_; }
    // The tokenizer of a loading archive, the untokenizer of a storing one (null otherwise).
    CKvTokenizer* tokenizer() { return reader_; }
    CKvUntokenizer* untokenizer() { return writer_; }

    // Scalar members: one Word each. Unsigned values of 2147483648 and more are written as
    // negative text and read back unchanged. The narrow types raise code 12 when the text
    // holds a value outside their range.
    CKvArchive& serializeString(std::string& value);
    CKvArchive& serializeInt32(std::int32_t& value);
    CKvArchive& serializeUInt32(std::uint32_t& value);
    CKvArchive& serializeInt8(std::int8_t& value);
    CKvArchive& serializeUInt8(std::uint8_t& value);
    CKvArchive& serializeUInt16(std::uint16_t& value);
    // Write-only members for values that are not variables; a loading archive raises code 4.
    CKvArchive& storeInt32(std::int32_t value);
    CKvArchive& storeString(std::string_view value);

    // An object held by value. `expected` (optional) is the class whose archive name and
    // serialize function are used; the object must be of that class or derived from it.
    CKvArchive& serializeEmbedded(CObject& object, const ClassInfo* expected = nullptr);
    // A pointer member: loading sets `slot` to the object read (or null), storing writes the
    // object `slot` points to under `expected`'s entry, or its own class's without one.
    CKvArchive& serializeObjectPtr(CObject*& slot, const ClassInfo* expected, bool shared);
    // Reads one object pointer form; null for "null". The object belongs to the archive
    // (see takeObjects). With `shared`, the object must come as "def" or "ref".
    CObject* readObject(const ClassInfo* expected, bool shared);
    // Writes `object` (or "null") under `classInfo`'s entry, or its own class's.
    CKvArchive& writeObject(CObject* object, const ClassInfo* classInfo, bool shared);

    // Collections (see the file comment for the form).
    CKvArchive& serializeStringList(std::list<std::string>& list);
    CKvArchive& serializeStringArray(std::vector<std::string>& array);
    CKvArchive& serializeObjectList(std::list<CObject*>& list, const ClassInfo* expected,
                                    bool shared);
    CKvArchive& serializeStringMap(std::map<std::string, std::string>& map);
    CKvArchive& serializeObjectMap(std::map<std::string, CObject*>& map, bool shared);

    // The parts collections are made of.
    CKvArchive& writeCollectionHeader(std::string_view typeName, std::int32_t count);
    std::int32_t readCollectionHeader(std::string_view typeName);
    bool peekEnd();
    CKvArchive& writeCollectionEnd();
    CKvArchive& readCollectionEnd();

    // Consumes the rest of the current object up to and including its "end".
    CKvArchive& skipObject();
    // Copy one object pointer form, or the rest of an object whose "obj" and name are already
    // read, from `from` to `to` token for token (Words come out escaped, Tags on {CR}{LF}
    // lines). Used to keep and replay objects of unknown classes.
    CKvArchive& copyItem(CKvTokenizer& from, CKvUntokenizer& to);
    CKvArchive& copyObjectBody(CKvTokenizer& from, CKvUntokenizer& to);

    // Takes ownership of an object made while loading; returns it.
    CObject* keepObject(std::unique_ptr<CObject> object);
    // Hands every object made so far to the caller.
    std::vector<std::unique_ptr<CObject>> takeObjects();

    // Raises CKvArchiveException with the joined context path, which is emptied.
    [[noreturn]] void raise(std::int32_t code, std::string detail = std::string());

    // The names of the objects and collections being processed, outermost first.
    const std::vector<std::string>& contextPath() const { return contextPath_; }
    std::size_t sharedObjectCount() const { return shared_.size(); }

  private:
    void enterContext(std::string_view name);
    void leaveContext();
    void addShared(CObject* object);
    void requireLoading(std::int32_t code);
    void requireStoring(std::int32_t code);
    // A text taken from the input, cut to kMaxDetailInputBytes for an error detail.
    static std::string inputDetail(std::string_view text);

    bool loading_;
    std::unique_ptr<CKvTokenizer> ownedReader_;
    std::unique_ptr<CKvUntokenizer> ownedWriter_;
    CKvTokenizer* reader_ = nullptr;
    CKvUntokenizer* writer_ = nullptr;

    std::vector<CObject*> shared_;                                  // index = order of "def"
    std::unordered_map<const CObject*, std::int32_t> sharedIndex_;  // storing: object -> index
    std::vector<std::string> contextPath_;
    std::vector<std::unique_ptr<CObject>> created_;
};
