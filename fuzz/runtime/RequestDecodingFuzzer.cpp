// Fuzzes the decoding of a CGI request: the query string (request name and token), the
// content-length text and the URL-encoded form body, each its own argument.
//
// Input: the query string up to the first LF, the content-length text up to the second, then
// the body. fuzz/runtime/request_decoding.dict holds the words of queries and forms.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Env.h"
#include "runtime/FormDecoder.h"
#include "runtime/RequestInput.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::string_view NextLine(std::string_view& input) {
    const std::size_t end = input.find('\n');
    const std::string_view line = input.substr(0, end);
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string query(NextLine(input));
    const std::string lengthText(NextLine(input));
    const std::string_view body = input;

    const RequestName request = SplitQueryString(query.c_str(), Env::Default());
    Check(!request.token.empty() && request.name.size() <= query.size());

    // The body is a text: what follows its first NUL is not part of it.
    const std::string_view text = body.substr(0, body.find('\0'));
    std::size_t equals = 0;
    for (char c : text) {
        equals += c == '=';
    }
    const std::vector<FormField> fields = DecodeFormBody(body);
    const DecodedForm form = DecodeForm(std::string(body));
    Check(fields.size() <= equals && form.size() == fields.size());
    std::size_t at = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FormField& field = fields[i];
        // Decoding never grows a text and never lets a NUL through; both forms agree, and each
        // part is the decoding of its own stretch of the body.
        Check(field.name.size() <= text.size() && field.value.size() <= text.size() &&
              field.name.find('\0') == std::string::npos &&
              field.value.find('\0') == std::string::npos);
        Check(form.Name(i) == field.name && form.Value(i) == field.value);
        const std::size_t nameEnd = text.find('=', at);
        std::size_t valueEnd = text.find('&', nameEnd + 1);
        valueEnd = valueEnd == std::string_view::npos ? text.size() : valueEnd;
        Check(DecodeFormText(text.substr(at, nameEnd - at)) == field.name &&
              DecodeFormText(text.substr(nameEnd + 1, valueEnd - nameEnd - 1)) == field.value);
        at = valueEnd + 1;
    }

    const std::optional<std::size_t> length = ParseContentLength(lengthText.c_str());
    Check(!length || *length <= kMaxContentLength);
    const std::optional<std::size_t> fromQuery = ParseContentLength(query.c_str());
    Check(!fromQuery || *fromQuery <= kMaxContentLength);
    return 0;
}
