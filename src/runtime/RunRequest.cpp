#include "runtime/RunRequest.h"

#include <cerrno>
#include <cstring>
#include <exception>

#include "runtime/CgiApplication.h"

void RunGuarded(CgiApplication& application, const std::function<void()>& body) {
    try {
        body();
    } catch (...) {
        const int error = errno;
        application.Fatal("Exception: %d %s\n", error, std::strerror(error));
    }
}
