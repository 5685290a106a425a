// Whether a form was sent from the administration pages themselves or from another web site.
#pragma once

#include <string>

// The origin that a POST names when it is not the request's own: its "Origin" header, or
// without one its "Referer", compared by host and port (a default port named or not) with the
// request's "Host". Empty when the request may go on: not a POST, or neither header sent (older
// clients and command-line tools send none). "null", an address without "scheme://" and any
// origin when the request has no Host count as foreign. The returned text is cut to
// kMaxOriginText bytes, for the log.
std::string ForeignOrigin(const char* method, const char* origin, const char* referer,
                          const char* host);

constexpr std::size_t kMaxOriginText = 100;
