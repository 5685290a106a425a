// Comparing a typed password with the stored one.
#pragma once

#include <string_view>

// True when `typed` equals `stored` exactly (case-sensitive). The time taken depends on the
// length of `typed` only, never on where the texts differ or on the stored password, so that
// timing answers tells a password guesser nothing.
bool SamePassword(std::string_view typed, std::string_view stored);
