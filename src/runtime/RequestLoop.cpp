#include "runtime/RequestLoop.h"

#include "runtime/CgiApplication.h"

int ServeRequests(const std::function<void()>& request) {
    CgiApplication::EndWhenReaderGoes();
    request();
    return 0;
}
