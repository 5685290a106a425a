// Base of the system's exceptions (archive, tokenizer, file). Each carries one finished error
// text, made when it is raised; the dispatcher prints it.
#pragma once

#include <cstddef>
#include <exception>
#include <string>

// The longest error text (of an exception or of the system) that a report quotes: reports stay
// one line of bounded length whatever raised them.
constexpr std::size_t kMaxErrorText = 255;

class CException : public std::exception {
  public:
    // Copies the error text into `buffer`, cut to capacity - 1 bytes and always terminated.
    // False (and nothing written) when capacity is 0.
    bool getErrorMessage(char* buffer, std::size_t capacity) const;

    // The whole error text, or its first `maxLength` bytes.
    const std::string& errorText() const { return text_; }
    std::string errorText(std::size_t maxLength) const { return text_.substr(0, maxLength); }

    const char* what() const noexcept override { return text_.c_str(); }

  protected:
    explicit CException(std::string text) : text_(std::move(text)) {}

  private:
    std::string text_;
};
