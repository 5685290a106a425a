// ByteStream: the byte source and sink under the tokenizer and untokenizer.
//
// One position for reading and writing. Reading goes through a window of bytes that the
// concrete stream makes available ([next_, end_)); readByte() is inline so that the
// tokenizer's byte-at-a-time reading costs no virtual call while the window lasts. A stream
// never hands out more bytes than asked, so after a tokenizer stops, the stream stands just
// behind what it consumed.
//
// Failures of the medium raise CFileException; the end of the input is not a failure.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class ByteStream {
  public:
    ByteStream() = default;
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;
    virtual ~ByteStream() = default;

    // The next byte (0..255), or -1 at the end of the input.
    int readByte() { return next_ < end_ ? *next_++ : readByteSlow(); }

    // Reads up to `count` bytes into `dst`; returns the number read (less only at the end).
    std::size_t read(void* dst, std::size_t count);

    // Writes all `count` bytes of `src`.
    virtual void write(const void* src, std::size_t count) = 0;
    void write(std::string_view bytes) { write(bytes.data(), bytes.size()); }

    // Hands buffered output to the medium.
    virtual void flush() {}

  protected:
    // Makes more input available in [next_, end_). False at the end of the input.
    virtual bool fill() = 0;

    const unsigned char* next_ = nullptr;
    const unsigned char* end_ = nullptr;

  private:
    int readByteSlow();
};

// A stream over a growable byte buffer in memory (a request body, a record being stored, a
// foreign object kept as text). Writing at the position overwrites and extends.
class MemoryStream : public ByteStream {
  public:
    MemoryStream() { setPosition(0); }
    explicit MemoryStream(std::string bytes);

    using ByteStream::write;
    void write(const void* src, std::size_t count) override;

    // Replaces the content and moves to its start.
    void assign(std::string bytes);
    // Moves to the start; the content stays.
    void rewind() { setPosition(0); }
    // Drops the content.
    void clear() { assign(std::string()); }

    std::size_t size() const { return data_.size(); }
    std::size_t position() const;
    // The whole content, whatever the position; valid until the next write or assign.
    std::string_view contents() const { return data_; }
    // Takes the content out, leaving the stream empty.
    std::string release();

  protected:
    bool fill() override { return false; }

  private:
    void setPosition(std::size_t pos);

    std::string data_;
};
