// What the server programs take from a web server's CGI environment, on any values: the client
// addresses, the query string's request name and token, the image program's file name, the
// request body read against its Content-Length, whether a form comes from another site, and the
// environment as the template engine imports it (its names and values shown escaped on a page).
//
// Input: QUERY_STRING, REMOTE_ADDR, HTTP_X_FORWARDED_FOR, REMOTE_HOST, CONTENT_LENGTH,
// HTTP_ORIGIN, HTTP_REFERER, HTTP_HOST and REQUEST_METHOD, each ended by a NUL (a value that is
// just 0x01 is unset), then the body on standard input, whose lines are also further environment
// entries.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "admin/RequestOrigin.h"
#include "htx/HtxProcessor.h"
#include "imageserver/ImageApplication.h"
#include "platform/Env.h"
#include "runtime/RequestInput.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

constexpr const char* kNames[] = {"QUERY_STRING", "REMOTE_ADDR",    "HTTP_X_FORWARDED_FOR",
                                  "REMOTE_HOST",  "CONTENT_LENGTH", "HTTP_ORIGIN",
                                  "HTTP_REFERER", "HTTP_HOST",      "REQUEST_METHOD"};
constexpr size_t kFields = sizeof kNames / sizeof *kNames;

// A file that holds the body, read by the same path every time.
struct BodyFile {
    int fd = memfd_create("body", 0);
    std::string path = "/proc/self/fd/" + std::to_string(fd);
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* values[kFields] = {};
    std::string fields[kFields];
    size_t at = 0;
    for (size_t i = 0; i < kFields; ++i) {
        const uint8_t* end = static_cast<const uint8_t*>(memchr(data + at, 0, size - at));
        const size_t length = end != nullptr ? static_cast<size_t>(end - data) - at : size - at;
        fields[i].assign(reinterpret_cast<const char*>(data + at), length);
        at = end != nullptr ? at + length + 1 : size;
        if (fields[i] == "\x01") {
            unsetenv(kNames[i]);
        } else {
            setenv(kNames[i], fields[i].c_str(), 1);
            values[i] = fields[i].c_str();
        }
    }
    const std::string body(reinterpret_cast<const char*>(data + at), size - at);

    // The client: the forwarded addresses (bounded) when there are any, the proxy then the direct
    // peer.
    const ClientAddresses addresses = ReadClientAddresses();
    const char* direct = values[1] ? values[1] : "";
    if (values[2] != nullptr) {
        const std::string forwarded(values[2]);
        Check(addresses.client == forwarded.substr(0, kMaxForwardedLength) &&
                  addresses.proxy == direct && addresses.remoteHost.empty(),
              "a forwarded request names the proxy");
    } else {
        Check(addresses.client == direct && addresses.proxy.empty(), "a direct request");
        Check(values[1] != nullptr || addresses.remoteHost.empty(), "no host without an address");
    }

    // The request name and its token: the query cut in two, or a fresh token.
    const std::string query = values[0] ? values[0] : "";
    const RequestName request = SplitQueryString(values[0], Env::Default());
    if (values[0] != nullptr) {
        Check(!request.token.empty(), "every request has a token");
        Check(request.name.find('|') == std::string::npos, "the name ends at the first bar");
        Check(query.compare(0, request.name.size(), request.name) == 0, "the name starts it");
        const std::string rest = query.substr(request.name.size());
        Check(rest.empty() || rest == "|" + request.token || rest == "%7C" + request.token ||
                  rest == "|" || rest == "%7C",
              "name, separator and token make the query");
    }

    // The image's file name: a bare name, the end of the query.
    const std::string file = ImageApplication::FileNameOf(query);
    Check(file.find_first_of("/\\:") == std::string::npos, "a bare name");
    Check(query.size() >= file.size() &&
              query.compare(query.size() - file.size(), file.size(), file) == 0,
          "the name ends the query");

    // The body: never more than announced, all of it when enough came.
    static const BodyFile source;
    if (ftruncate(source.fd, 0) != 0 ||
        pwrite(source.fd, body.data(), body.size(), 0) != static_cast<ssize_t>(body.size())) {
        abort();
    }
    const RequestBody read = ReadRequestBody(values[4], source.path.c_str());
    const std::optional<size_t> length = ParseContentLength(values[4]);
    if (values[4] == nullptr) {
        Check(read.outcome == RequestBody::Outcome::kNoLength, "no length, no body");
    } else if (!length) {
        Check(read.outcome == RequestBody::Outcome::kTooLong, "too long is refused");
    } else {
        Check(read.outcome == RequestBody::Outcome::kRead, "a length reads");
        Check(read.bytes.size() == (*length < body.size() ? *length : body.size()),
              "as many bytes as announced or as came");
        Check(body.compare(0, read.bytes.size(), read.bytes) == 0, "the bytes as they came");
    }

    // A form's origin: only a POST is judged; the named address comes back cut for the log; the
    // request's own host, however written, is never foreign.
    const char* const method = values[8];
    const char* const host = values[7];
    const std::string foreign = ForeignOrigin(method, values[5], values[6], host);
    const bool isPost = method != nullptr && strcmp(method, "POST") == 0;
    const char* named = values[5] != nullptr && *values[5] != '\0' ? values[5] : values[6];
    Check(isPost || foreign.empty(), "only a POST is judged");
    Check(foreign.empty() || std::string(named).compare(0, foreign.size(), foreign) == 0,
          "the origin named, as sent");
    Check(foreign.size() <= kMaxOriginText, "the logged origin is bounded");
    if (host != nullptr && *host != '\0' && strpbrk(host, "/?#@") == nullptr &&
        strlen(host) < 4000) {
        std::string own = std::string("HTTP://") + host + "/page?x";
        Check(ForeignOrigin("POST", own.c_str(), nullptr, host).empty(), "the own host");
        Check(!ForeignOrigin("POST", "null", nullptr, host).empty(), "null is foreign");
    }
    Check(!ForeignOrigin("POST", "http://a.example", nullptr, nullptr).empty(),
          "no host, no same origin");

    // The environment on a page: every name and value escaped, no more rows than entries.
    std::vector<std::string> entries;
    for (size_t i = 0; i < kFields; ++i) {
        if (values[i] != nullptr) {
            entries.push_back(std::string(kNames[i]) + "=" + values[i]);
        }
    }
    for (size_t from = 0; from < body.size() && entries.size() < 40;) {
        const size_t end = std::min(body.find('\n', from), body.size());
        entries.push_back(body.substr(from, end - from).c_str());
        from = end + 1;
    }
    std::vector<const char*> environment;
    for (const std::string& entry : entries) {
        environment.push_back(entry.c_str());
    }
    environment.push_back(nullptr);
    HtxProcessor page(true, environment.data());
    std::string html;
    page.ProcessTemplateText(
        "<%begindetail EnvVars%><p><%#esc_html_tag EnvKey%>=<%#esc_html_tag EnvData%></p>"
        "<%enddetail%>",
        [&](const char* bytes, size_t n) { html.append(bytes, n); });
    size_t rows = 0;
    for (size_t at = html.find("<p>"); at != std::string::npos; at = html.find("<p>", at + 1)) {
        const size_t close = html.find("</p>", at);
        Check(close != std::string::npos, "every row closed");
        Check(html.find_first_of("<>", at + 3) == close, "no raw < or > of the environment");
        ++rows;
    }
    Check(rows <= entries.size(), "no more rows than entries");
    return 0;
}
