// The reply writer and reply archive of an application: internal to the runtime.
#pragma once

#include <memory>

#include "archive/CKvArchive.h"
#include "archive/CKvUntokenizer.h"
#include "archive/FileStream.h"

struct ReplyChannel {
    StdOutStream stream;
    std::unique_ptr<CKvUntokenizer> writer;
    std::unique_ptr<CKvArchive> archive;
};
