// Failure injection for tests: the seams where the system can refuse a request (memory of the
// client library's heap, its socket calls, module loads, registry file writes) ask here first, and
// a test makes the Nth such call fail to see that every failure ends cleanly. Disarmed, as it
// always is outside such tests, a seam costs one relaxed atomic load.
#pragma once

#include <cstdint>

enum class FailureSite : unsigned {
    kHeap = 1u << 0,           // inet::HeapAllocate and HeapReallocate: null
    kSocket = 1u << 1,         // socket, connect, send, recv, getaddrinfo: WSAENOBUFS (10055)
    kRegistryWrite = 1u << 2,  // a registry file write: ERROR_ACCESS_DENIED
    kModule = 1u << 3,         // a module load or an entry point's lookup: not found
};

namespace failure_point {

// Counts the calls at the sites of `sites` (a mask of FailureSite) from now on; the `nth`
// counted (1: the next) fails, and only that one. 0: count, fail none.
void Arm(unsigned sites, std::uint64_t nth);
// Back to the default: nothing counted, nothing fails.
void Disarm();
// The calls counted since Arm.
std::uint64_t Count();
// For the seams: counts the call when its site is armed; true when this call is to fail.
bool Fails(FailureSite site);

}  // namespace failure_point
