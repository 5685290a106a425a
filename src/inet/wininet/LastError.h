// The calling thread's last error number, as QuarWinInetGetLastError reads it back.
#pragma once

#include <cstdint>

namespace wininet {

void SetLastError(uint32_t error);
uint32_t GetLastError();

// Sets `error` and answers false (0), the failure result of the entry points.
inline int Fail(uint32_t error) {
    SetLastError(error);
    return 0;
}

}  // namespace wininet
