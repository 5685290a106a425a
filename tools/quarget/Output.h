// Where quarget writes a response as it arrives: standard output, or a file that appears under
// its name only once the body is whole. A transfer that fails leaves an existing file as it was;
// what came of a failed one is kept (under the name) only when asked for.
#pragma once

#include <cstddef>
#include <cstdint>

#include <string>

#include "QuarInet.h"

class Output {
  public:
    // Standard output for an empty `path`; a device or pipe named by `path` as it is; otherwise
    // a temporary file beside the file `path` names. False, with `error` set, when that cannot be
    // made.
    bool Open(const std::string& path, bool withHeaders, std::string& error);
    ~Output();
    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // The sink that writes through this output; valid while it lives.
    const QuarInetBodySink* Sink() const { return &sink_; }
    // Any bytes written so far.
    bool Wrote() const { return written_ > 0; }
    // The errno of the write that failed, 0 when none did.
    int WriteError() const { return writeError_; }

    // The transfer ended: with `keep` the file takes its name (for a file), otherwise it goes.
    // False, with `error` set, when the bytes could not be stored.
    bool Close(bool keep, std::string& error);

    // The sink's answer when a write failed.
    static constexpr uint32_t kWriteFailed = 0x20000001;

  private:
    static uint32_t OnHeaders(void* self, const char* headers, uint32_t length);
    static uint32_t OnBody(void* self, const char* bytes, uint32_t length);
    uint32_t Write(const char* bytes, size_t size);

    int fd_ = 1;
    std::string path_;
    std::string temporary_;
    bool direct_ = false;  // writing to a device or pipe of the caller's
    bool withHeaders_ = false;
    uint64_t written_ = 0;
    int writeError_ = 0;
    QuarInetBodySink sink_{this, &Output::OnHeaders, &Output::OnBody};
};
