// The transfer's progress on a terminal: bytes so far and the rate, redrawn in place at most ten
// times a second, and the status events one line each for -v.
#pragma once

#include <cstdint>

#include <atomic>
#include <chrono>
#include <mutex>

class Progress {
  public:
    Progress(bool bar, bool verbose) : bar_(bar), verbose_(verbose) {}

    // The status callback of the request; it reports to the display that Show made current
    // (the command runs one request at a time).
    static void Callback(void* handle, uintptr_t context, uint32_t status, void* info,
                         uint32_t infoLength);
    void Show() { current_.store(this); }
    // Ends the bar's line.
    void Finish();

  private:
    void Event(uint32_t status, void* info, uint32_t infoLength);
    void Draw(uint64_t bytes, bool force);

    static std::atomic<Progress*> current_;

    bool bar_;
    bool verbose_;
    std::mutex lock_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw_{};
    uint64_t bytes_ = 0;
    bool drawn_ = false;
};
