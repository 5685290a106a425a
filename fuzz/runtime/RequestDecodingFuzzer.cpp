// Fuzzes the decoding of a CGI request: the first line is the query string (request name and
// token), the rest the URL-encoded form body; a leading run of digits also goes through the
// content-length parser.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/FormDecoder.h"
#include "runtime/RequestInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t lineEnd = input.find('\n');
    const std::string query(input.substr(0, lineEnd));
    const std::string_view body =
        lineEnd == std::string_view::npos ? std::string_view() : input.substr(lineEnd + 1);

    const RequestName request = SplitQueryString(query.c_str(), Env::Default());
    if (request.token.empty() || request.name.size() > query.size()) {
        std::abort();
    }

    std::size_t equals = 0;
    for (char c : body) {
        equals += c == '=';
    }
    const std::vector<FormField> fields = DecodeFormBody(body);
    if (fields.size() > equals) {
        std::abort();
    }
    for (const FormField& field : fields) {
        // Decoding never grows a text and never lets a NUL through.
        if (field.name.size() > body.size() || field.value.size() > body.size() ||
            field.name.find('\0') != std::string::npos ||
            field.value.find('\0') != std::string::npos) {
            std::abort();
        }
    }

    const std::optional<std::size_t> length = ParseContentLength(query.c_str());
    if (length && *length > kMaxContentLength) {
        std::abort();
    }
    return 0;
}
