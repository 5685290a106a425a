#include "admin/PasswordCompare.h"

#include <cstddef>

bool SamePassword(std::string_view typed, std::string_view stored) {
    // Every byte of the typed text is compared, with the stored text repeated under it when it
    // is shorter; any difference, including one of length, survives in `difference`.
    volatile unsigned char difference = typed.size() == stored.size() ? 0 : 1;
    const std::size_t storedSize = stored.size();
    for (std::size_t i = 0; i < typed.size(); ++i) {
        const unsigned char expected =
            storedSize == 0 ? 0 : static_cast<unsigned char>(stored[i % storedSize]);
        difference = difference | (static_cast<unsigned char>(typed[i]) ^ expected);
    }
    return difference == 0;
}
