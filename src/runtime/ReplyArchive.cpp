#include "runtime/CgiApplication.h"
#include "runtime/ReplyChannel.h"

bool CgiApplication::CreateReplyArchive() {
    return true;
}
