// CKvXDataWrapper: an object whose archive name this program has no entry for, kept as the
// token text of its embedded form (from its "obj" to its closing "end") so that it can be
// written back unchanged. Only defaultForeignHandler makes one; it has no factory.
#pragma once

#include <string>
#include <string_view>

#include "archive/ByteStream.h"
#include "archive/CObject.h"
#include "archive/ClassRegistry.h"

class CKvXDataWrapper : public CObject {
  public:
    static const ClassInfo classInfo;
    const ClassInfo* getClassInfo() const override { return &classInfo; }

    // The kept token text.
    std::string_view text() const { return stream_.contents(); }
    MemoryStream& stream() { return stream_; }

  private:
    MemoryStream stream_;
};

// The foreign-object handler for objects of unknown archive names. Loading: makes a
// CKvXDataWrapper holding "obj", the name and a copy of the rest of the object read from the
// archive; unsupported tags inside raise code 21. Storing: replays the wrapper's text into
// the archive token for token.
void defaultForeignHandler(const std::string& archiveName, CObject*& slot, CKvArchive& ar);
