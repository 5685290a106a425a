#include "archive/CKvArchiveException.h"

namespace {

// A trailing space belongs to the text.
const char* const kMessages[] = {
    "No error message available.",
    "Bad Archive.",
    "Bad Class. Expected:",
    "Write only",
    "Read only",
    "Close error on read:",
    "Bad TAG_OBJECT:",
    "Bad label (read/expect):",
    "Class not found:",
    "No current class.",
    "Can't create class ",
    "Not implemented yet",
    "XMember parameter is out of limits.",
    "Invalid number of list elements in archive.",
    "Invalid number of list elements in archive. Last element:",
    "More array elements than expected.",
    "Invalid number of elements in CMapStringToString. Last key/element:",
    "Invalid number of elements in CMap. Last key:",
    "Invalid shared reference.",
    "Invalid shared definition.",
    "Unexpected sharing: expecting ",
    "Cannot clone the object starting with tag ",
    "Cannot skip the object starting with tag ",
    "Unsupported version tag",
    "Not implemented.",
};

}  // namespace

const char* CKvArchiveException::messageText(std::int32_t code) {
    if (code < 0 || code >= static_cast<std::int32_t>(sizeof kMessages / sizeof kMessages[0])) {
        return kMessages[0];
    }
    return kMessages[code];
}

CKvArchiveException::CKvArchiveException(std::int32_t code, std::string detail,
                                         std::string contextPath)
    : CException(std::string(messageText(code)) + " " + detail + " (" + contextPath + ")"),
      code_(code),
      detail_(std::move(detail)),
      contextPath_(std::move(contextPath)) {}
