// The request body of -d and -F, sent from where it is: text from memory, files read piece by
// piece as the transport sends them, so that a large file never has to fit in memory.
#pragma once

#include <cstdint>

#include <memory>
#include <string>
#include <vector>

#include "Arguments.h"
#include "QuarInet.h"

class Upload {
  public:
    Upload();
    ~Upload();
    Upload(const Upload&) = delete;
    Upload& operator=(const Upload&) = delete;

    // The body that -d or -F ask for, adding the lines it needs to `headers`. False, with
    // `error` set, when a file cannot be read.
    bool Build(const Arguments& args, std::string& headers, std::string& error);
    // The source to send from; null when there is no body.
    const QuarInetBodySource* Source() const { return pieces_.empty() ? nullptr : &source_; }

    // The source's answer when a file can no longer be read as it was measured.
    static constexpr uint32_t kReadFailed = 0x20000002;

  private:
    // Text, or a file of `size` bytes.
    struct Piece {
        std::string text;
        std::string file;
        uint64_t size = 0;
    };
    bool AddFile(const std::string& path, std::string& error);
    bool BuildForm(const Arguments& args, std::string& headers, std::string& error);
    static uint32_t Next(void* self, const char** bytes, uint32_t* length);
    static uint32_t Rewind(void* self);

    std::vector<Piece> pieces_;
    QuarInetBodySource source_;
    size_t current_ = 0;
    uint64_t offset_ = 0;  // within the current piece
    int fd_ = -1;
    std::unique_ptr<char[]> buffer_;
};
