#include "runtime/RunRequest.h"

#include <cerrno>
#include <cstring>
#include <exception>

#include "archive/CFileException.h"
#include "archive/CKvArchiveException.h"
#include "archive/CKvTokenizerException.h"
#include "runtime/CgiApplication.h"

namespace {
// The longest error text of an exception that a report quotes.
constexpr std::size_t kMaxErrorText = 255;
}  // namespace

void RunGuarded(CgiApplication& application, const std::function<void()>& body) {
    try {
        body();
    } catch (const CKvArchiveException& e) {
        application.Fatal("CKvArchiveException: %s\n", e.errorText(kMaxErrorText).c_str());
    } catch (const CKvTokenizerException& e) {
        application.Fatal("CKvTokenizerException: %s\n", e.errorText(kMaxErrorText).c_str());
    } catch (const CFileException& e) {
        const int error = errno;
        application.Fatal("CFileException: %s, errno = %d (%s)\n",
                          e.errorText(kMaxErrorText).c_str(), error, std::strerror(error));
    } catch (...) {
        const int error = errno;
        application.Fatal("Exception: %d %s\n", error, std::strerror(error));
    }
}
