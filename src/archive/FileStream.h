// Streams over files and the standard streams, through C stdio so that their output keeps its
// order with other stdio output of the process (the CGI header, the banner).
#pragma once

#include <cstdio>
#include <string>

#include "archive/ByteStream.h"

// A stream over a stdio FILE. Reads through its own buffer: bytes that it has buffered but not
// handed out are not seen by other readers of the same FILE.
class FileStream : public ByteStream {
  public:
    enum class Mode { read, write, append };

    // Opens `path`; raises CFileException when it cannot be opened.
    FileStream(const std::string& path, Mode mode);
    ~FileStream() override;

    using ByteStream::write;
    void write(const void* src, std::size_t count) override;
    void flush() override;
    // Flushes and closes now (raising CFileException on a failure) instead of in the
    // destructor, which cannot report one.
    void close();

  protected:
    // Over an already open FILE that the stream does not own (the standard streams).
    FileStream(std::FILE* file, std::string name);
    bool fill() override;

  private:
    std::FILE* file_;
    bool owned_;
    std::string name_;
    unsigned char buffer_[4096];
};

// Standard input of the process.
class StdInStream : public FileStream {
  public:
    StdInStream() : FileStream(stdin, "<stdin>") {}
};

// Standard output of the process.
class StdOutStream : public FileStream {
  public:
    StdOutStream() : FileStream(stdout, "<stdout>") {}
};
