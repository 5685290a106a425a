// CFileException: a file or standard stream that cannot be opened, read or written.
// Error text: the cause's message, a space, the file name ("<stdin>", "<stdout>" for the
// standard streams). osError() keeps the errno value of the failing call.
#pragma once

#include <string>

#include "archive/CException.h"

class CFileException : public CException {
  public:
    enum Cause {
        none = 0,
        generic = 1,
        fileNotFound = 2,
        accessDenied = 3,
        diskFull = 4,
        readError = 5,
    };

    CFileException(Cause cause, std::string fileName, int osError);

    // The cause that best describes an errno value of a failed open, read or write.
    static Cause causeOf(int osError);

    Cause cause() const { return cause_; }
    const std::string& fileName() const { return fileName_; }
    int osError() const { return osError_; }

  private:
    Cause cause_;
    std::string fileName_;
    int osError_;
};
