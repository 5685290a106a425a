#include "runtime/RunRequest.h"

#include <cerrno>
#include <cstring>
#include <exception>

#include "archive/CFileException.h"
#include "archive/CKvArchiveException.h"
#include "archive/CKvTokenizerException.h"
#include "runtime/CgiApplication.h"

Reply RunGuarded(CgiApplication& application, const std::function<Reply()>& body) {
    try {
        return body();
    } catch (const CKvArchiveException& e) {
        return application.Fatal("CKvArchiveException: %s\n", e.errorText(kMaxErrorText).c_str());
    } catch (const CKvTokenizerException& e) {
        return application.Fatal("CKvTokenizerException: %s\n", e.errorText(kMaxErrorText).c_str());
    } catch (const CFileException& e) {
        const int error = errno;
        return application.Fatal("CFileException: %s, errno = %d (%s)\n",
                                 e.errorText(kMaxErrorText).c_str(), error, std::strerror(error));
    } catch (...) {
        const int error = errno;
        return application.Fatal("Exception: %d %s\n", error, std::strerror(error));
    }
}
