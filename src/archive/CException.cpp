#include "archive/CException.h"

#include <cstring>

bool CException::getErrorMessage(char* buffer, std::size_t capacity) const {
    if (buffer == nullptr || capacity == 0) {
        return false;
    }
    std::size_t n = text_.size() < capacity - 1 ? text_.size() : capacity - 1;
    std::memcpy(buffer, text_.data(), n);
    buffer[n] = '\0';
    return true;
}
