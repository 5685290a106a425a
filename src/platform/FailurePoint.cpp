#include "platform/FailurePoint.h"

#include <atomic>

namespace failure_point {
namespace {

// Process-wide by nature: the seams are plain functions called from any thread. Only tests arm
// them, between exchanges.
std::atomic<unsigned> gSites{0};
std::atomic<std::uint64_t> gCount{0};
std::atomic<std::uint64_t> gNth{0};

}  // namespace

void Arm(unsigned sites, std::uint64_t nth) {
    gSites.store(0);
    gCount.store(0);
    gNth.store(nth);
    gSites.store(sites);
}

void Disarm() {
    gSites.store(0);
}

std::uint64_t Count() {
    return gCount.load();
}

bool Fails(FailureSite site) {
    if ((gSites.load(std::memory_order_relaxed) & static_cast<unsigned>(site)) == 0) {
        return false;
    }
    return gCount.fetch_add(1) + 1 == gNth.load();
}

}  // namespace failure_point
