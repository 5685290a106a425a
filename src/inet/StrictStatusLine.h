// Whether a response begins with a status line the transports accept: "HTTP/" with a one-digit
// major and minor version, one space, exactly three digits, then the end of the line or a blank
// and a reason text, within kStatusLineLimit characters. "+200", "0200", "200.5", "200garbage"
// and "FOO 200 OK" are not such lines; "HTTP/1.0 200" without reason text is.
#pragma once

#include <cstdint>

namespace inet {

// The status code of the header block's first line, or false when that line is not a status
// line as above.
bool ReadStrictStatusLine(const char* headers, uint32_t& status);

}  // namespace inet
