// The modal dialog that asks for a user name and a password when a server or a proxy answers
// that it wants them.
#pragma once

#include <cstddef>

#include "inet/dialog/DialogResult.h"

namespace inet {

// Shows the credentials dialog owned by `parent` (an opaque window handle; null: no owner), with
// `caption` (null: "Enter Network Password") and a `prompt` line saying who asks (null: none).
// `user` and `password` hold `userSize` and `passwordSize` bytes with NUL-terminated texts
// that the fields start with. After OK they hold what was typed, cut to size - 1 bytes; after
// Cancel they are untouched. Returns DialogOk or DialogCancel; DialogCancel at once when no
// display is available or a buffer is null or of size 0. Safe to call from several threads,
// each with its own buffers.
int ShowCredentialsDialog(const char* caption, const char* prompt, char* user, size_t userSize,
                          char* password, size_t passwordSize, void* parent);

}  // namespace inet
