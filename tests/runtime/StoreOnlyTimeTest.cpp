// The registry as quarnbx and quarnbxpic have it: this test links the same time-form object
// in front of the archive library, as the programs do.
#include <gtest/gtest.h>

#include <memory>

#include "archive/ByteStream.h"
#include "archive/CKvArchive.h"
#include "archive/CKvArchiveException.h"
#include "archive/ClassRegistry.h"
#include "archive/KxTime.h"

TEST(StoreOnlyTime, ProgramsWriteTimesAndRefuseToReadThem) {
    const ClassEntry* entry = ClassRegistry::instance().findByName("KxTime");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->serialize, &KxTime::serializeStoreOnly);

    MemoryStream out;
    {
        CKvArchive writer(out, false);
        KxTime time(2009, 7, 31, 14, 5, 0, 0);
        writer.serializeEmbedded(time);
    }
    EXPECT_EQ(std::string(out.contents()), "\r\nobj|KxTime|2009|7|31|14|5|0|0\r\nend");
    MemoryStream in(std::string(out.contents()));
    CKvArchive reader(in, true);
    try {
        std::unique_ptr<CObject> loaded(reader.readObject(nullptr, false));
        ADD_FAILURE() << "a time was read back";
    } catch (const CKvArchiveException& e) {
        EXPECT_EQ(e.code(), 4);
    }
}
