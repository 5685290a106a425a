#include <cstdio>
#include <new>

#include "runtime/CgiApplication.h"
#include "runtime/ReplyChannel.h"

bool CgiApplication::CreateReplyArchive() {
    reply_.reset(new (std::nothrow) ReplyChannel);
    if (reply_) {
        reply_->writer.reset(new (std::nothrow) CKvUntokenizer(reply_->stream));
    }
    if (!reply_ || !reply_->writer) {
        std::fputs("|ACK_ERR|Can't create untokenizer", stdout);
        std::fflush(stdout);
        return false;
    }
    reply_->archive.reset(new (std::nothrow) CKvArchive(*reply_->writer));
    if (!reply_->archive) {
        std::fputs("|ACK_ERR|Can't create output archive", stdout);
        std::fflush(stdout);
        return false;
    }
    return true;
}

CKvArchive* CgiApplication::ReplyArchive() {
    return reply_ ? reply_->archive.get() : nullptr;
}
