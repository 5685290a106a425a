#include "archive/CKvXDataWrapper.h"

#include <memory>

#include "archive/CKvArchive.h"

const ClassInfo CKvXDataWrapper::classInfo{"CKvXDataWrapper", sizeof(CKvXDataWrapper), nullptr,
                                           &CObject::classInfo};

void defaultForeignHandler(const std::string& archiveName, CObject*& slot, CKvArchive& ar) {
    if (ar.isLoading()) {
        auto* wrapper =
            static_cast<CKvXDataWrapper*>(ar.keepObject(std::make_unique<CKvXDataWrapper>()));
        slot = wrapper;
        MemoryStream& kept = wrapper->stream();
        kept.rewind();
        CKvUntokenizer writer(kept);
        writer.writeTag("obj");
        writer.writeWord(archiveName);
        ar.copyObjectBody(*ar.tokenizer(), writer);
        return;
    }
    if (slot == nullptr || !slot->isKindOf(&CKvXDataWrapper::classInfo)) {
        ar.raise(kArBadClass, CKvXDataWrapper::classInfo.className);
    }
    auto* wrapper = static_cast<CKvXDataWrapper*>(slot);
    MemoryStream& kept = wrapper->stream();
    kept.rewind();
    CKvTokenizer reader(kept);
    ar.copyItem(reader, *ar.untokenizer());
}
