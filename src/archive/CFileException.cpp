#include "archive/CFileException.h"

#include <cerrno>

namespace {

const char* causeText(CFileException::Cause cause) {
    switch (cause) {
        case CFileException::none:
            return "No error occurred.";
        case CFileException::fileNotFound:
            return "The file could not be found:";
        case CFileException::accessDenied:
            return "Access to the file was denied:";
        case CFileException::diskFull:
            return "No space left for the file:";
        case CFileException::readError:
            return "The file could not be read:";
        case CFileException::generic:
            break;
    }
    return "The file operation failed:";
}

}  // namespace

CFileException::CFileException(Cause cause, std::string fileName, int osError)
    : CException(std::string(causeText(cause)) + " " + fileName),
      cause_(cause),
      fileName_(std::move(fileName)),
      osError_(osError) {}

CFileException::Cause CFileException::causeOf(int osError) {
    switch (osError) {
        case ENOENT:
        case ENOTDIR:
            return fileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return accessDenied;
        case ENOSPC:
        case EDQUOT:
            return diskFull;
        default:
            return generic;
    }
}
