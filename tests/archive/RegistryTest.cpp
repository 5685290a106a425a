#include <gtest/gtest.h>

#include "archive/CObListSerializable.h"
#include "archive/ClassRegistry.h"
#include "archive/KxTime.h"

namespace {

class Widget : public CObject {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
};
class WidgetStub : public Widget {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }
};
const ClassInfo Widget::classInfo{"Widget", sizeof(Widget), &createObject<Widget>,
                                  &CObject::classInfo};
const ClassInfo WidgetStub::classInfo{"WidgetStub", sizeof(WidgetStub), nullptr,
                                      &Widget::classInfo};

void serializeA(CObject&, CKvArchive&) {}
void serializeB(CObject&, CKvArchive&) {}
void handler(const std::string&, CObject*&, CKvArchive&) {}

TEST(ClassRegistryTest, SystemClassesAreEnteredAtStartUp) {
    ClassRegistry& r = ClassRegistry::instance();
    const ClassEntry* list = r.findByName("ListSerializable");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->classInfo, &CObListSerializable::classInfo);
    EXPECT_EQ(r.findByClass(&KxTime::classInfo)->archiveName, "KxTime");
    EXPECT_EQ(r.findByName("kxtime"), r.findByName("KXTIME"));
    EXPECT_EQ(r.findByName("KxTimes"), nullptr);
}

TEST(ClassRegistryTest, LaterEntryHidesEarlierUntilItLeaves) {
    ClassRegistry& r = ClassRegistry::instance();
    const ClassEntry* first = r.enterClass("Widget", &Widget::classInfo, &serializeA);
    EXPECT_EQ(r.findByName("widget"), first);
    const ClassEntry* second =
        r.enterClass("WIDGET", &Widget::classInfo, &serializeB, &handler, &WidgetStub::classInfo);
    EXPECT_EQ(r.findByName("Widget"), second);
    EXPECT_EQ(r.findByClass(&Widget::classInfo), second);
    EXPECT_EQ(r.findByWrapperClass(&WidgetStub::classInfo), second);
    r.leaveClass(second);
    EXPECT_EQ(r.findByName("Widget"), first);
    EXPECT_EQ(r.findByClass(&Widget::classInfo)->serialize, &serializeA);
    EXPECT_EQ(r.findByWrapperClass(&WidgetStub::classInfo), nullptr);
    r.leaveClass(first);
    EXPECT_EQ(r.findByName("Widget"), nullptr);
    EXPECT_EQ(r.findByClass(&Widget::classInfo), nullptr);
    r.leaveClass(first);  // already gone: no effect
    EXPECT_NE(r.findByName("KxTime"), nullptr);
}

TEST(ClassRegistryTest, ProgramEntryWinsOverLibraryEntryInEitherOrder) {
    ClassRegistry& r = ClassRegistry::instance();
    for (bool programFirst : {true, false}) {
        // Lookups before, between and after the entries: maps built early and late agree.
        EXPECT_EQ(r.findByName("Widget"), nullptr);
        const auto enter = [&](ClassPrecedence precedence, SerializeFunction serialize) {
            const ClassEntry* e = r.enterClass("Widget", &Widget::classInfo, serialize, nullptr,
                                               &WidgetStub::classInfo, precedence);
            r.findByName("Widget");
            return e;
        };
        const ClassEntry* first =
            programFirst ? enter(ClassPrecedence::Program, &serializeA) : nullptr;
        const ClassEntry* library = enter(ClassPrecedence::Library, &serializeB);
        const ClassEntry* program =
            programFirst ? first : enter(ClassPrecedence::Program, &serializeA);
        EXPECT_EQ(r.findByName("WIDGET"), program) << programFirst;
        EXPECT_EQ(r.findByClass(&Widget::classInfo), program) << programFirst;
        EXPECT_EQ(r.findByWrapperClass(&WidgetStub::classInfo), program) << programFirst;
        r.leaveClass(library);  // maps rebuilt from what is left
        EXPECT_EQ(r.findByName("Widget"), program) << programFirst;
        r.leaveClass(program);
    }
}

TEST(ClassRegistryTest, EntriesWithoutNameAreFoundOnlyByClass) {
    ClassRegistration unnamed("", &Widget::classInfo, &serializeA);
    EXPECT_EQ(ClassRegistry::instance().findByClass(&Widget::classInfo), unnamed.entry());
    EXPECT_EQ(ClassRegistry::instance().findByName(""), nullptr);
}

TEST(ClassInfoTest, IsKindOfFollowsTheBaseChain) {
    WidgetStub s;
    EXPECT_TRUE(s.isKindOf(&WidgetStub::classInfo));
    EXPECT_TRUE(s.isKindOf(&Widget::classInfo));
    EXPECT_TRUE(s.isKindOf(&CObject::classInfo));
    EXPECT_FALSE(s.isKindOf(&KxTime::classInfo));
    EXPECT_FALSE(s.isKindOf(nullptr));
    Widget w;
    EXPECT_FALSE(w.isKindOf(&WidgetStub::classInfo));
}

}  // namespace
