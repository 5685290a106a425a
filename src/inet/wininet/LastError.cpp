#include "inet/wininet/LastError.h"

namespace wininet {

namespace {
thread_local uint32_t lastError = 0;
}  // namespace

void SetLastError(uint32_t error) {
    lastError = error;
}

uint32_t GetLastError() {
    return lastError;
}

}  // namespace wininet
