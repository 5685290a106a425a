// Where a program lies, from its argument 0.
#pragma once

#include <string>

// The text of `argv0` up to and including its last "/"; empty when there is none at a position
// greater than 0 (a bare name, or a program at the root).
std::string ProgramDirectory(const char* argv0);
