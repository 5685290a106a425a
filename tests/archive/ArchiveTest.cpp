#include <gtest/gtest.h>

#include <string>

#include "ArchiveTestClasses.h"
#include "archive/CObListSerializable.h"
#include "archive/KxTime.h"

namespace {

const std::string kNoteText = "\r\nobj|Note|Hello world|42\r\nobj|String*|2|red|blue\r\nend\r\nend";

Note sampleNote() {
    Note n;
    n.title = "Hello world";
    n.count = 42;
    n.tags = {"red", "blue"};
    return n;
}

TEST(ArchiveTest, WorkedExampleStoresExactBytes) {
    Note n = sampleNote();
    EXPECT_EQ(storeWith([&](CKvArchive& ar) { ar.serializeEmbedded(n); }), kNoteText);
}

TEST(ArchiveTest, WorkedExampleLoadsAndStopsAtEndOfInput) {
    MemoryStream in(kNoteText);
    CKvTokenizer tok(in);
    CKvArchive ar(tok);
    Note n;
    ar.serializeEmbedded(n);
    EXPECT_EQ(n.title, "Hello world");
    EXPECT_EQ(n.count, 42);
    EXPECT_EQ(n.tags, (std::list<std::string>{"red", "blue"}));
    EXPECT_TRUE(ar.contextPath().empty());
    tok.nextToken();
    EXPECT_EQ(tok.kind(), TokenKind::StreamSeparator);
    EXPECT_EQ(tok.bytes(), "");
}

// Loads `text` into a new Note with serializeEmbedded.
void loadNote(const std::string& text, Note& n) {
    MemoryStream in(text);
    CKvArchive ar(in, true);
    ar.serializeEmbedded(n);
}

TEST(ArchiveTest, EmbeddedObjectWithOtherLabelRaisesCode7) {
    std::string text = kNoteText;
    text.replace(text.find("Note"), 4, "Nota");
    Note n;
    auto e = archiveErrorOf([&] { loadNote(text, n); });
    EXPECT_EQ(e.code(), 7);
    EXPECT_EQ(messageOf(e), "Bad label (read/expect): Nota/Note ()");
    // Letter case counts for embedded objects.
    text.replace(text.find("Nota"), 4, "note");
    EXPECT_EQ(archiveErrorOf([&] { loadNote(text, n); }).detail(), "note/Note");
}

TEST(ArchiveTest, StringListCountMismatchNamesLastElementAndPath) {
    std::string text = kNoteText;
    text.replace(text.find("|2|"), 3, "|3|");
    MemoryStream in(text);
    CKvArchive ar(in, true);
    Note n;
    auto e = archiveErrorOf([&] { ar.serializeEmbedded(n); });
    EXPECT_EQ(e.code(), 14);
    EXPECT_EQ(messageOf(e),
              "Invalid number of list elements in archive. Last element: blue (Note>String*)");
    EXPECT_TRUE(ar.contextPath().empty());
}

TEST(ArchiveTest, ObjectNotStartingWithObjRaisesCode6) {
    Note n;
    auto e = archiveErrorOf([&] { loadNote("\r\nfoo|Note|t|1", n); });
    EXPECT_EQ(messageOf(e), "Bad TAG_OBJECT: foo ()");
}

TEST(ArchiveTest, SharedObjectIsDefinedOnceThenReferenced) {
    KxTime t(2009, 7, 31, 14, 5, 0, 0);
    Pair p;
    p.first = &t;
    p.second = &t;
    const std::string text =
        "\r\nobj|Pair\r\ndef|0\r\nobj|KxTime|2009|7|31|14|5|0|0\r\nend\r\nref|0\r\nend";
    EXPECT_EQ(storeWith([&](CKvArchive& ar) { ar.serializeEmbedded(p); }), text);

    MemoryStream in(text);
    CKvArchive ar(in, true);
    Pair back;
    ar.serializeEmbedded(back);
    ASSERT_NE(back.first, nullptr);
    EXPECT_EQ(back.first, back.second);
    ASSERT_TRUE(back.first->isKindOf(&KxTime::classInfo));
    EXPECT_EQ(*static_cast<KxTime*>(back.first), t);
    EXPECT_EQ(ar.sharedObjectCount(), 1u);
}

CKvArchiveException readObjectError(const std::string& text, bool shared) {
    MemoryStream in(text);
    CKvArchive ar(in, true);
    return archiveErrorOf([&] { ar.readObject(nullptr, shared); });
}

const std::string kTimeBody = "\r\nobj|KxTime|2009|7|31|14|5|0|0\r\nend";

TEST(ArchiveTest, SharedIndexErrors) {
    auto def = readObjectError("\r\ndef|1" + kTimeBody, true);
    EXPECT_EQ(def.code(), 19);
    EXPECT_EQ(messageOf(def), "Invalid shared definition.  ()");
    auto ref = readObjectError("\r\nref|0", true);
    EXPECT_EQ(ref.code(), 18);
    EXPECT_EQ(messageOf(ref), "Invalid shared reference.  ()");
    EXPECT_EQ(readObjectError("\r\nref|-1", true).code(), 18);
    EXPECT_EQ(readObjectError("\r\ndef|-1" + kTimeBody, true).code(), 19);
}

TEST(ArchiveTest, SharingDifferentFromTheCallersFlag) {
    EXPECT_EQ(messageOf(readObjectError("\r\ndef|0" + kTimeBody, false)),
              "Unexpected sharing: expecting  unique ()");
    EXPECT_EQ(messageOf(readObjectError(kTimeBody, true)),
              "Unexpected sharing: expecting  shared ()");
    EXPECT_EQ(messageOf(readObjectError("\r\nref|0", false)),
              "Unexpected sharing: expecting  shared object ()");
}

TEST(ArchiveTest, NullPointerIsWrittenAsNullAndReadBackWithEitherFlag) {
    EXPECT_EQ(storeWith([](CKvArchive& ar) {
                  CObject* none = nullptr;
                  ar.serializeObjectPtr(none, nullptr, true);
              }),
              "\r\nnull");
    for (bool shared : {false, true}) {
        MemoryStream in(std::string("\r\nnull"));
        CKvArchive ar(in, true);
        KxTime before;
        CObject* slot = &before;
        ar.serializeObjectPtr(slot, nullptr, shared);
        EXPECT_EQ(slot, nullptr);
    }
}

// A newer writer with three members and an older reader that knows only the first.
class MemoFull : public CObject {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
    static void serialize(CObject& o, CKvArchive& ar) {
        auto& m = static_cast<MemoFull&>(o);
        ar.serializeString(m.title).serializeInt32(m.count).serializeStringList(m.tags);
    }
    std::string title;
    std::int32_t count = 0;
    std::list<std::string> tags;
};
class MemoShort : public CObject {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
    static void serialize(CObject& o, CKvArchive& ar) {
        ar.serializeString(static_cast<MemoShort&>(o).title);
    }
    std::string title;
};
const ClassInfo MemoFull::classInfo{"MemoFull", sizeof(MemoFull), &createObject<MemoFull>,
                                    &CObject::classInfo};
const ClassInfo MemoShort::classInfo{"MemoShort", sizeof(MemoShort), &createObject<MemoShort>,
                                     &CObject::classInfo};

TEST(ArchiveTest, ReaderSkipsUnknownTrailingMembers) {
    std::string text;
    {
        ClassRegistration full("Memo", &MemoFull::classInfo, &MemoFull::serialize);
        MemoFull m;
        m.title = "first";
        m.count = 7;
        m.tags = {"x", "y"};
        text = storeWith([&](CKvArchive& ar) {
            ar.serializeEmbedded(m);
            ar.storeString("after");
        });
    }
    ClassRegistration older("Memo", &MemoShort::classInfo, &MemoShort::serialize);
    MemoryStream in(text);
    CKvArchive ar(in, true);
    MemoShort m;
    ar.serializeEmbedded(m);
    EXPECT_EQ(m.title, "first");
    std::string next;
    ar.serializeString(next);
    EXPECT_EQ(next, "after");
}

TEST(ArchiveTest, SkippingStopsAtForeignTagsAndAtEndOfInput) {
    ClassRegistration older("Memo", &MemoShort::classInfo, &MemoShort::serialize);
    MemoShort m;
    auto skipError = [&](const std::string& text) {
        return archiveErrorOf([&] {
            MemoryStream in(text);
            CKvArchive ar(in, true);
            ar.serializeEmbedded(m);
        });
    };
    EXPECT_EQ(messageOf(skipError("\r\nobj|Memo|t|1\r\nnull\r\nfoo\r\nend")),
              "Cannot skip the object starting with tag  foo ()");
    EXPECT_EQ(messageOf(skipError("\r\nobj|Memo|t\r\nver|1\r\nend")),
              "Cannot skip the object starting with tag  ver ()");
    EXPECT_EQ(messageOf(skipError("\r\nobj|Memo|t|1\r\nobj|X\r\nend")), "Bad Archive.  ()");
    EXPECT_EQ(skipError("\r\nobj|Memo|t|1\f\r\nend").code(), 1);
}

TEST(ArchiveTest, ReadObjectFindsNamesRegardlessOfCase) {
    for (const char* name : {"note", "NOTE", "Note", "nOtE"}) {
        MemoryStream in(std::string("\r\nobj|") + name + "|t|1\r\nobj|String*|0\r\nend\r\nend");
        CKvArchive ar(in, true);
        CObject* o = ar.readObject(&Note::classInfo, false);
        ASSERT_NE(o, nullptr) << name;
        EXPECT_EQ(o->getClassInfo(), &Note::classInfo) << name;
        EXPECT_EQ(static_cast<Note*>(o)->title, "t");
    }
}

TEST(ArchiveTest, NarrowIntegersAreRangeChecked) {
    auto errorOf = [](const std::string& text, auto member) {
        return archiveErrorOf([&] {
            MemoryStream in(text);
            CKvArchive ar(in, true);
            member(ar);
        });
    };
    auto u8 = [](CKvArchive& ar) {
        std::uint8_t v;
        ar.serializeUInt8(v);
    };
    auto i8 = [](CKvArchive& ar) {
        std::int8_t v;
        ar.serializeInt8(v);
    };
    auto u16 = [](CKvArchive& ar) {
        std::uint16_t v;
        ar.serializeUInt16(v);
    };
    auto e = errorOf("|256", u8);
    EXPECT_EQ(e.code(), 12);
    EXPECT_EQ(e.detail(), "Input value was 256");
    EXPECT_EQ(messageOf(e), "XMember parameter is out of limits. Input value was 256 ()");
    EXPECT_EQ(errorOf("|-129", i8).detail(), "Input value was -129");
    EXPECT_EQ(errorOf("|128", i8).detail(), "Input value was 128");
    EXPECT_EQ(errorOf("|-1", u8).detail(), "Input value was 4294967295");
    EXPECT_EQ(errorOf("|65536", u16).detail(), "Input value was 65536");

    MemoryStream in(std::string("|255|-128|127|65535"));
    CKvArchive ar(in, true);
    std::uint8_t a;
    std::int8_t b, c;
    std::uint16_t d;
    ar.serializeUInt8(a).serializeInt8(b).serializeInt8(c).serializeUInt16(d);
    EXPECT_EQ(a, 255);
    EXPECT_EQ(b, -128);
    EXPECT_EQ(c, 127);
    EXPECT_EQ(d, 65535);
}

TEST(ArchiveTest, LargeUnsignedValuesTravelAsNegativeText) {
    std::uint32_t big = 3000000000u, edge = 2147483648u, top = 4294967295u;
    std::int8_t neg = -3;
    std::string text = storeWith([&](CKvArchive& ar) {
        ar.serializeUInt32(big).serializeUInt32(edge).serializeUInt32(top).serializeInt8(neg);
    });
    EXPECT_EQ(text, "|-1294967296|-2147483648|-1|-3");
    MemoryStream in(text);
    CKvArchive ar(in, true);
    std::uint32_t a = 0, b = 0, c = 0;
    std::int8_t d = 0;
    ar.serializeUInt32(a).serializeUInt32(b).serializeUInt32(c).serializeInt8(d);
    EXPECT_EQ(a, big);
    EXPECT_EQ(b, edge);
    EXPECT_EQ(c, top);
    EXPECT_EQ(d, -3);
}

TEST(ArchiveTest, DirectionErrors) {
    MemoryStream out;
    CKvArchive storing(out, false);
    auto e3 = archiveErrorOf([&] { storing.readObject(nullptr, false); });
    EXPECT_EQ(e3.code(), 3);
    EXPECT_EQ(messageOf(e3), "Write only  ()");
    EXPECT_FALSE(storing.peekEnd());

    MemoryStream in(kNoteText);
    CKvArchive loading(in, true);
    Note n;
    auto e4 = archiveErrorOf([&] { loading.writeObject(&n, nullptr, false); });
    EXPECT_EQ(messageOf(e4), "Read only  ()");
    EXPECT_EQ(archiveErrorOf([&] { loading.storeInt32(1); }).code(), 4);
    EXPECT_EQ(archiveErrorOf([&] { loading.storeString("x"); }).code(), 4);
}

TEST(ArchiveTest, StoreOnlyTimeFormWritesTheSameTextAndCannotLoad) {
    KxTime t(2009, 7, 31, 14, 5, 0, 0);
    std::string full = storeWith([&](CKvArchive& ar) { ar.serializeEmbedded(t); });
    EXPECT_EQ(full, kTimeBody);
    ClassRegistration storeOnly("KxTime", &KxTime::classInfo, &KxTime::serializeStoreOnly);
    EXPECT_EQ(storeWith([&](CKvArchive& ar) { ar.serializeEmbedded(t); }), full);
    auto e = archiveErrorOf([&] {
        MemoryStream in(full);
        CKvArchive ar(in, true);
        ar.readObject(nullptr, false);
    });
    EXPECT_EQ(messageOf(e), "Read only  (KxTime)");
}

TEST(ArchiveTest, ObjectOfAnotherClassThanExpected) {
    Note n;
    auto e = archiveErrorOf(
        [&] { storeWith([&](CKvArchive& ar) { ar.serializeEmbedded(n, &Pair::classInfo); }); });
    EXPECT_EQ(messageOf(e), "Bad Class. Expected: Pair ()");
    KxTime t;
    CObject* slot = &t;
    EXPECT_EQ(messageOf(archiveErrorOf([&] {
                  storeWith([&](CKvArchive& ar) {
                      ar.serializeObjectPtr(slot, &Note::classInfo, false);
                  });
              })),
              "Bad Class. Expected: Note ()");

    MemoryStream in(kNoteText);
    CKvArchive ar(in, true);
    auto e9 = archiveErrorOf([&] { ar.readObject(&Pair::classInfo, false); });
    EXPECT_EQ(messageOf(e9), "No current class.  ()");
}

TEST(ArchiveTest, SubclassIsWrittenUnderTheExpectedClass) {
    SpecialNote s;
    s.title = "sub";
    CObject* slot = &s;
    std::string text =
        storeWith([&](CKvArchive& ar) { ar.serializeObjectPtr(slot, &Note::classInfo, false); });
    EXPECT_EQ(text, "\r\nobj|Note|sub|0\r\nobj|String*|0\r\nend\r\nend");
    // Without an expected class the subclass has no entry of its own.
    EXPECT_EQ(messageOf(archiveErrorOf([&] {
                  storeWith([&](CKvArchive& ar) { ar.serializeObjectPtr(slot, nullptr, false); });
              })),
              "Class not found: SpecialNote ()");
}

TEST(ArchiveTest, ClassesWithoutEntry) {
    Unregistered u;
    EXPECT_EQ(messageOf(archiveErrorOf(
                  [&] { storeWith([&](CKvArchive& ar) { ar.serializeEmbedded(u); }); })),
              "Class not found: Unregistered ()");
    EXPECT_EQ(messageOf(archiveErrorOf(
                  [&] { storeWith([&](CKvArchive& ar) { ar.writeObject(&u, nullptr, false); }); })),
              "Class not found: Unregistered ()");
    // An unknown name read with an expected class that has no foreign-object handler.
    MemoryStream in(std::string("\r\nobj|Foo|1\r\nend"));
    CKvArchive ar(in, true);
    EXPECT_EQ(messageOf(archiveErrorOf([&] { ar.readObject(&Note::classInfo, false); })),
              "Class not found: Foo ()");
}

class NoFactory : public CObject {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
};
const ClassInfo NoFactory::classInfo{"NoFactory", sizeof(NoFactory), nullptr, &CObject::classInfo};
class WrongFactory : public CObject {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
};
const ClassInfo WrongFactory::classInfo{"WrongFactory", sizeof(WrongFactory), &createObject<KxTime>,
                                        &CObject::classInfo};

void serializeNothing(CObject&, CKvArchive&) {}

TEST(ArchiveTest, ObjectsThatCannotBeCreated) {
    ClassRegistration a("NoFactory", &NoFactory::classInfo, &serializeNothing);
    ClassRegistration b("WrongFactory", &WrongFactory::classInfo, &serializeNothing);
    EXPECT_EQ(messageOf(readObjectError("\r\nobj|NoFactory\r\nend", false)),
              "Can't create class  NoFactory ()");
    EXPECT_EQ(readObjectError("\r\nobj|WrongFactory\r\nend", false).code(), 10);
}

TEST(ArchiveTest, ErrorsNameTheWholeContextPath) {
    MemoryStream in(
        std::string("\r\nobj|ListSerializable\r\nobj|Object*|1\r\nobj|KxTime|2009|256|1|0|0|0|"
                    "0\r\nend\r\nend\r\nend"));
    CKvArchive ar(in, true);
    auto e = archiveErrorOf([&] { ar.readObject(nullptr, false); });
    EXPECT_EQ(messageOf(e),
              "XMember parameter is out of limits. Input value was 256 "
              "(ListSerializable>Object*>KxTime)");
    EXPECT_EQ(e.contextPath(), "ListSerializable>Object*>KxTime");
    EXPECT_TRUE(ar.contextPath().empty());
}

TEST(ArchiveTest, TokenizerErrorsPassThroughAndKeepTheContextPath) {
    MemoryStream in(std::string("\r\nobj|Note|t|x"));
    CKvArchive ar(in, true);
    Note n;
    EXPECT_EQ(tokenizerErrorOf([&] { ar.serializeEmbedded(n); }), 6);
    EXPECT_EQ(ar.contextPath(), std::vector<std::string>{"Note"});
}

TEST(ArchiveTest, CollectionHeaderMustMatch) {
    Note n;
    auto e =
        archiveErrorOf([&] { loadNote("\r\nobj|Note|t|1\r\nobj|Object*|0\r\nend\r\nend", n); });
    EXPECT_EQ(messageOf(e), "Bad Archive.  (Note)");
    EXPECT_EQ(archiveErrorOf([&] {
                  loadNote("\r\nobj|Note|t|1\r\nnull|String*|0\r\nend\r\nend", n);
              }).code(),
              1);
    // "Integer*" stands in for an expected "Number*".
    MemoryStream in(std::string("\r\nobj|Integer*|2\r\nend"));
    CKvArchive ar(in, true);
    EXPECT_EQ(ar.readCollectionHeader("Number*"), 2);
    EXPECT_EQ(ar.contextPath(), std::vector<std::string>{"Integer*"});
    ar.readCollectionEnd();
    EXPECT_TRUE(ar.contextPath().empty());
}

TEST(ArchiveTest, ReadCollectionEndRequiresEnd) {
    MemoryStream in(std::string("\r\nobj|String*|0|x"));
    CKvArchive ar(in, true);
    ar.readCollectionHeader("String*");
    EXPECT_EQ(messageOf(archiveErrorOf([&] { ar.readCollectionEnd(); })), "Bad Archive.  ()");
}

TEST(ArchiveTest, ObjectsMadeWhileLoadingCanBeTaken) {
    std::vector<std::unique_ptr<CObject>> kept;
    CObject* o = nullptr;
    {
        MemoryStream in(kTimeBody);
        CKvArchive ar(in, true);
        o = ar.readObject(nullptr, false);
        kept = ar.takeObjects();
    }
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].get(), o);
    EXPECT_EQ(*static_cast<KxTime*>(o), KxTime(2009, 7, 31, 14, 5, 0, 0));
}

}  // namespace
