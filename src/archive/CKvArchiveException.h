// CKvArchiveException: an archive text or object graph that the archive cannot read or write.
// Error text: the message of the code, a space, the detail, " (", the context path (the names
// of the objects and collections being processed when it was raised, outermost first, joined
// by ">"), ")". With an empty detail two spaces stand before the parenthesis.
#pragma once

#include <cstdint>
#include <string>

#include "archive/CException.h"

enum ArchiveError : std::int32_t {
    kArNoError = 0,
    kArBadArchive = 1,
    kArBadClass = 2,
    kArWriteOnly = 3,
    kArReadOnly = 4,
    kArCloseError = 5,
    kArBadObjectTag = 6,
    kArBadLabel = 7,
    kArClassNotFound = 8,
    kArNoCurrentClass = 9,
    kArCantCreate = 10,
    kArNotImplementedYet = 11,
    kArOutOfLimits = 12,
    kArBadObjectListCount = 13,
    kArBadStringListCount = 14,
    kArTooManyArrayElements = 15,
    kArBadStringMapCount = 16,
    kArBadObjectMapCount = 17,
    kArBadSharedReference = 18,
    kArBadSharedDefinition = 19,
    kArUnexpectedSharing = 20,
    kArCannotClone = 21,
    kArCannotSkip = 22,
    kArUnsupportedVersion = 23,
    kArNotImplemented = 24,
};

class CKvArchiveException : public CException {
  public:
    CKvArchiveException(std::int32_t code, std::string detail, std::string contextPath);

    std::int32_t code() const { return code_; }
    const std::string& detail() const { return detail_; }
    const std::string& contextPath() const { return contextPath_; }

    // The message table text of `code` ("No error message available." for unknown codes).
    static const char* messageText(std::int32_t code);

  private:
    std::int32_t code_;
    std::string detail_;
    std::string contextPath_;
};
