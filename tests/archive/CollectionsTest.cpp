#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ArchiveTestClasses.h"
#include "archive/CKvXDataWrapper.h"
#include "archive/CObListSerializable.h"
#include "archive/KxTime.h"

namespace {

// A loading archive over its own copy of `text`.
struct Loader {
    explicit Loader(const std::string& text) : in(text), ar(in, true) {}
    MemoryStream in;
    CKvArchive ar;
};

TEST(CollectionsTest, EmptyStringListForm) {
    std::list<std::string> empty;
    EXPECT_EQ(storeWith([&](CKvArchive& ar) { ar.serializeStringList(empty); }),
              "\r\nobj|String*|0\r\nend");
    Loader l("\r\nobj|String*|0\r\nend");
    std::list<std::string> back;
    l.ar.serializeStringList(back);
    EXPECT_TRUE(back.empty());
}

TEST(CollectionsTest, StringListAppendsAtTheTail) {
    Loader l("\r\nobj|String*|2|c|d\r\nend");
    std::list<std::string> list{"a", "b"};
    l.ar.serializeStringList(list);
    EXPECT_EQ(list, (std::list<std::string>{"a", "b", "c", "d"}));
}

TEST(CollectionsTest, StringCollectionCountMismatches) {
    std::list<std::string> list;
    auto e14 = archiveErrorOf(
        [&] { Loader("\r\nobj|String*|2|a|b|third\r\nend").ar.serializeStringList(list); });
    EXPECT_EQ(messageOf(e14),
              "Invalid number of list elements in archive. Last element: third (String*)");
    auto e14empty =
        archiveErrorOf([&] { Loader("\r\nobj|String*|1\r\nend").ar.serializeStringList(list); });
    EXPECT_EQ(e14empty.detail(), "");

    std::vector<std::string> array;
    auto e15 = archiveErrorOf(
        [&] { Loader("\r\nobj|String*|2|a|b|c\r\nend").ar.serializeStringArray(array); });
    EXPECT_EQ(messageOf(e15), "More array elements than expected.  (String*)");
    EXPECT_EQ(tokenizerErrorOf(
                  [&] { Loader("\r\nobj|String*|2|a\r\nend").ar.serializeStringArray(array); }),
              5);
}

TEST(CollectionsTest, StringArrayIsResizedToTheCount) {
    Loader l("\r\nobj|String*|2|x|y\r\nend");
    std::vector<std::string> array{"old1", "old2", "old3"};
    l.ar.serializeStringArray(array);
    EXPECT_EQ(array, (std::vector<std::string>{"x", "y"}));
    Loader grow("\r\nobj|String*|3|x|y|z\r\nend");
    std::vector<std::string> small{"old"};
    grow.ar.serializeStringArray(small);
    EXPECT_EQ(small, (std::vector<std::string>{"x", "y", "z"}));
}

TEST(CollectionsTest, StringListAndArrayReadEachOther) {
    std::list<std::string> list{"one", "two|2", ""};
    std::vector<std::string> array{"three", "four"};
    std::string listText = storeWith([&](CKvArchive& ar) { ar.serializeStringList(list); });
    std::string arrayText = storeWith([&](CKvArchive& ar) { ar.serializeStringArray(array); });
    std::vector<std::string> arrayBack;
    Loader(listText).ar.serializeStringArray(arrayBack);
    EXPECT_EQ(arrayBack, std::vector<std::string>(list.begin(), list.end()));
    std::list<std::string> listBack;
    Loader(arrayText).ar.serializeStringList(listBack);
    EXPECT_EQ(listBack, std::list<std::string>(array.begin(), array.end()));
}

TEST(CollectionsTest, ObjectListKeepsNullsAndOrder) {
    KxTime a(2001, 1, 2, 3, 4, 5, 1), b(2002, 6, 7, 8, 9, 10, 0);
    CObListSerializable list;
    list.push_back(&a);
    list.push_back(nullptr);
    list.push_back(&b);
    std::string text = storeWith([&](CKvArchive& ar) { ar.writeObject(&list, nullptr, false); });
    EXPECT_EQ(text,
              "\r\nobj|ListSerializable\r\nobj|Object*|3"
              "\r\nobj|KxTime|2001|1|2|3|4|5|1\r\nend\r\nnull"
              "\r\nobj|KxTime|2002|6|7|8|9|10|0\r\nend\r\nend\r\nend");
    Loader l(text);
    CObject* o = l.ar.readObject(nullptr, false);
    ASSERT_NE(o, nullptr);
    ASSERT_TRUE(o->isKindOf(&CObListSerializable::classInfo));
    auto& back = static_cast<CObListSerializable&>(*o);
    ASSERT_EQ(back.size(), 3u);
    auto it = back.begin();
    EXPECT_EQ(*static_cast<KxTime*>(*it++), a);
    EXPECT_EQ(*it++, nullptr);
    EXPECT_EQ(*static_cast<KxTime*>(*it), b);
}

TEST(CollectionsTest, ObjectListErrors) {
    auto e13 = archiveErrorOf([] {
        Loader("\r\nobj|ListSerializable\r\nobj|Object*|2\r\nnull\r\nend\r\nend")
            .ar.readObject(nullptr, false);
    });
    EXPECT_EQ(messageOf(e13),
              "Invalid number of list elements in archive.  (ListSerializable>Object*)");
    // List elements are read as unique objects.
    auto e20 = archiveErrorOf([] {
        Loader(
            "\r\nobj|ListSerializable\r\nobj|Object*|1\r\ndef|0\r\nobj|KxTime|1|1|1|1|1|1|"
            "0\r\nend\r\nend\r\nend")
            .ar.readObject(nullptr, false);
    });
    EXPECT_EQ(messageOf(e20), "Unexpected sharing: expecting  unique (ListSerializable>Object*)");
}

TEST(CollectionsTest, StringMapRoundTripAndRepeatedKey) {
    std::map<std::string, std::string> map{{"k1", "v1"}, {"k|2", "v\n2"}};
    std::string text = storeWith([&](CKvArchive& ar) { ar.serializeStringMap(map); });
    EXPECT_EQ(text, "\r\nobj|String->String|2|k1|v1|k\\v2|v\\n2\r\nend");
    std::map<std::string, std::string> back;
    Loader("\r\nobj|String->String|2|k\\v2|v\\n2|k1|v1\r\nend").ar.serializeStringMap(back);
    EXPECT_EQ(back, map);

    std::map<std::string, std::string> same;
    Loader("\r\nobj|String->String|2|k|first|k|second\r\nend").ar.serializeStringMap(same);
    EXPECT_EQ(same, (std::map<std::string, std::string>{{"k", "second"}}));

    auto e16 = archiveErrorOf([] {
        std::map<std::string, std::string> m;
        Loader("\r\nobj|String->String|3|a|1|b|2\r\nend").ar.serializeStringMap(m);
    });
    EXPECT_EQ(
        messageOf(e16),
        "Invalid number of elements in CMapStringToString. Last key/element: b/2 (String->String)");
}

TEST(CollectionsTest, ObjectMapRoundTripWithSharing) {
    KxTime t(2009, 7, 31, 14, 5, 0, 0);
    std::map<std::string, CObject*> map{{"a", &t}, {"b", &t}, {"c", nullptr}};
    std::string text = storeWith([&](CKvArchive& ar) { ar.serializeObjectMap(map, true); });
    EXPECT_EQ(text,
              "\r\nobj|String->Object|3|a\r\ndef|0\r\nobj|KxTime|2009|7|31|14|5|0|0\r\nend"
              "|b\r\nref|0|c\r\nnull\r\nend");
    Loader l(text);
    std::map<std::string, CObject*> back;
    l.ar.serializeObjectMap(back, true);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back["a"], back["b"]);
    EXPECT_EQ(back["c"], nullptr);
    EXPECT_EQ(*static_cast<KxTime*>(back["a"]), t);

    auto e17 = archiveErrorOf([] {
        std::map<std::string, CObject*> m;
        Loader("\r\nobj|String->Object|2|only\r\nnull\r\nend").ar.serializeObjectMap(m, false);
    });
    EXPECT_EQ(messageOf(e17),
              "Invalid number of elements in CMap. Last key: only (String->Object)");
}

const std::string kFooText = "\r\nobj|Foo|1|two\r\nobj|String*|0\r\nend\r\nend";

TEST(ForeignObjectTest, UnknownClassIsKeptAndWrittenBackTokenForToken) {
    Loader l(kFooText);
    CObject* o = l.ar.readObject(nullptr, false);
    ASSERT_NE(o, nullptr);
    ASSERT_EQ(o->getClassInfo(), &CKvXDataWrapper::classInfo);
    EXPECT_TRUE(l.ar.contextPath().empty());
    EXPECT_EQ(storeWith([&](CKvArchive& ar) { ar.writeObject(o, nullptr, false); }), kFooText);
    // A wrapper may be written any number of times.
    EXPECT_EQ(storeWith([&](CKvArchive& ar) { ar.writeObject(o, nullptr, false); }), kFooText);
}

TEST(ForeignObjectTest, ReplayNormalisesWordsAndLineBreaks) {
    std::string longWord = "a|b" + std::string(30, 'x');
    std::string text = "\n  obj|Bar|\\" + std::to_string(longWord.size()) + ":" + longWord +
                       "\n\tnull\r\nver|3\r\nobj|Baz|\\v\r\nend\r\nend";
    Loader l(text);
    CObject* o = l.ar.readObject(nullptr, false);
    std::string escaped = "a\\vb" + std::string(30, 'x');
    EXPECT_EQ(storeWith([&](CKvArchive& ar) { ar.writeObject(o, nullptr, false); }),
              "\r\nobj|Bar|" + escaped + "\r\nnull\r\nver|3\r\nobj|Baz|\\v\r\nend\r\nend");
}

TEST(ForeignObjectTest, SharedWrapperIsDefinedThenReferenced) {
    Loader l("\r\ndef|0" + kFooText + "\r\nref|0");
    CObject* first = l.ar.readObject(nullptr, true);
    CObject* second = l.ar.readObject(nullptr, true);
    EXPECT_EQ(first, second);
    EXPECT_EQ(storeWith([&](CKvArchive& ar) {
                  ar.writeObject(first, nullptr, true);
                  ar.writeObject(second, nullptr, true);
              }),
              "\r\ndef|0" + kFooText + "\r\nref|0");
}

TEST(ForeignObjectTest, TagsThatCannotBeCopied) {
    auto e =
        archiveErrorOf([] { Loader("\r\nobj|Foo\r\nref|0\r\nend").ar.readObject(nullptr, false); });
    EXPECT_EQ(messageOf(e), "Cannot clone the object starting with tag  ref ()");
    EXPECT_EQ(archiveErrorOf([] { Loader("\r\nobj|Foo|1").ar.readObject(nullptr, false); }).code(),
              1);

    // copyItem: a version tag needs its word, and only object forms can be copied.
    auto copyError = [](const std::string& text) {
        return archiveErrorOf([&] {
            MemoryStream in(text), out;
            CKvTokenizer from(in);
            CKvUntokenizer to(out);
            CKvArchive ar(out, false);
            ar.copyItem(from, to);
        });
    };
    EXPECT_EQ(messageOf(copyError("\r\nver\r\nobj")),
              "Cannot clone the object starting with tag  VER tag without version ()");
    EXPECT_EQ(copyError("\r\ndef|0").detail(), "def");
    EXPECT_EQ(copyError("").code(), 1);
}

TEST(ForeignObjectTest, CopyItemCopiesOneItem) {
    MemoryStream in(std::string("\r\nnull|w\r\nver|2\r\nobj|X\r\nobj|Y\r\nend\r\nend|rest")), out;
    CKvTokenizer from(in);
    CKvUntokenizer to(out);
    CKvArchive ar(to);
    for (int i = 0; i < 4; ++i) {
        ar.copyItem(from, to);
    }
    EXPECT_EQ(out.contents(), "\r\nnull|w\r\nver|2\r\nobj|X\r\nobj|Y\r\nend\r\nend");
    EXPECT_EQ(from.readWord(), "rest");
}

TEST(ForeignObjectTest, ExpectedRootClassUsesTheDefaultHandler) {
    Loader l(kFooText);
    CObject* o = l.ar.readObject(&CObject::classInfo, false);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->getClassInfo(), &CKvXDataWrapper::classInfo);
}

// A foreign-object handler declared by an entry, for names under an expected class.
class Gadget : public CObject {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
};
class GadgetProxy : public Gadget {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
    std::string name;
};
const ClassInfo Gadget::classInfo{"Gadget", sizeof(Gadget), &createObject<Gadget>,
                                  &CObject::classInfo};
const ClassInfo GadgetProxy::classInfo{"GadgetProxy", sizeof(GadgetProxy), nullptr,
                                       &Gadget::classInfo};

void gadgetHandler(const std::string& name, CObject*& slot, CKvArchive& ar) {
    if (ar.isLoading()) {
        auto proxy = std::make_unique<GadgetProxy>();
        proxy->name = name;
        slot = ar.keepObject(std::move(proxy));
        ar.skipObject();
    } else {
        ar.untokenizer()->writeTag("obj");
        ar.untokenizer()->writeWord(static_cast<GadgetProxy*>(slot)->name);
        ar.untokenizer()->writeTag("end");
    }
}
void serializeGadget(CObject&, CKvArchive&) {}

TEST(ForeignObjectTest, EntryHandlerAndWrapperClass) {
    ClassRegistration entry("Gadget", &Gadget::classInfo, &serializeGadget, &gadgetHandler,
                            &GadgetProxy::classInfo);
    Loader l("\r\nobj|Gizmo|9\r\nend");
    CObject* o = l.ar.readObject(&Gadget::classInfo, false);
    ASSERT_NE(o, nullptr);
    ASSERT_EQ(o->getClassInfo(), &GadgetProxy::classInfo);
    EXPECT_EQ(static_cast<GadgetProxy*>(o)->name, "Gizmo");
    EXPECT_EQ(storeWith([&](CKvArchive& ar) { ar.writeObject(o, nullptr, false); }),
              "\r\nobj|Gizmo\r\nend");
}

TEST(KxTimeArchiveTest, MemberOrderAndRoundTrip) {
    KxTime t(2009, 7, 31, 14, 5, 0, 0);
    KxTime gmt(1999, 12, 31, 23, 59, 58, 1);
    std::string text =
        storeWith([&](CKvArchive& ar) { ar.serializeEmbedded(t).serializeEmbedded(gmt); });
    EXPECT_EQ(
        text,
        "\r\nobj|KxTime|2009|7|31|14|5|0|0\r\nend\r\nobj|KxTime|1999|12|31|23|59|58|1\r\nend");
    Loader l(text);
    KxTime a, b;
    l.ar.serializeEmbedded(a).serializeEmbedded(b);
    EXPECT_EQ(a, t);
    EXPECT_EQ(b, gmt);
}

}  // namespace
