#include "HostileAnswers.h"

#include "../GzipBytes.h"
#include "QuarInet.h"

namespace {

const std::string kText = "the body that the server meant to send, long enough to compress";
const std::string kGzipHead = "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n";

HostileAnswer Row(std::string name, std::vector<RawReply> replies, Expected both) {
    return HostileAnswer{std::move(name), std::move(replies), both, both};
}

HostileAnswer Row(std::string name, std::vector<RawReply> replies, Expected socket,
                  Expected layer) {
    return HostileAnswer{std::move(name), std::move(replies), std::move(socket), std::move(layer)};
}

RawReply Plain(const std::string& bytes) {
    return RawReply::Plain(bytes);
}

}  // namespace

std::vector<HostileAnswer> HostileAnswers(int closedPort) {
    const std::string gz = GzipBytes(kText);
    const std::string cut = gz.substr(0, gz.size() - 12);
    std::string badCrc = gz;
    badCrc[gz.size() - 8] ^= 1;
    std::string badLength = gz;
    badLength[gz.size() - 2] ^= 1;
    const std::string ok = "HTTP/1.0 200 OK\r\n\r\n";
    const uint32_t invalid = QUARINET_ERROR_INVALID_RESPONSE;
    const uint32_t decoding = QUARINET_ERROR_CONTENT_DECODING;
    const uint32_t status = QUARINET_ERROR_STATUS;
    const uint32_t cutShort = QUARINET_ERROR_CUT_SHORT;
    std::vector<HostileAnswer> rows = {
        Row("a plain answer", {Plain(ok + "hello")}, {0, "hello"}),
        Row("gzip whole", {Plain(kGzipHead + gz)}, {0, kText}),
        Row("gzip cut short", {Plain(kGzipHead + cut)}, {decoding, cut}),
        Row("gzip with a wrong CRC-32", {Plain(kGzipHead + badCrc)}, {decoding, badCrc}),
        Row("gzip with a wrong length", {Plain(kGzipHead + badLength)}, {decoding, badLength}),
        Row("no status line", {Plain("FOO\r\n\r\nbar")}, {invalid, "bar"}, {invalid, "*"}),
        Row("an empty status line", {Plain("\r\n\r\nbar")}, {invalid, "*"}),
        Row("binary junk", {Plain(std::string("\x01\x02\xff\xfe\r\n\r\n\x00\x01", 10))},
            {invalid, "*"}),
        Row("a status line over 1,024 characters",
            {Plain("HTTP/1.0 200 " + std::string(1100, 'r') + "\r\n\r\nbody")}, {invalid, "*"}),
        Row("status +200", {Plain("HTTP/1.0 +200 OK\r\n\r\nbody")}, {invalid, "*"}),
        Row("status 0200", {Plain("HTTP/1.0 0200 OK\r\n\r\nbody")}, {invalid, "*"}),
        Row("status 200.5", {Plain("HTTP/1.0 200.5 OK\r\n\r\nbody")}, {invalid, "*"}),
        Row("status 200garbage", {Plain("HTTP/1.0 200garbage\r\n\r\nbody")}, {invalid, "*"}),
        Row("status FOO 200 OK", {Plain("FOO 200 OK\r\n\r\nbody")}, {invalid, "*"}),
        Row("a status line without reason text", {Plain("HTTP/1.0 200\r\n\r\nbody")}, {0, "body"}),
        Row("a length of 4 GiB claimed, 3 bytes sent",
            {Plain("HTTP/1.0 200 OK\r\nContent-Length: 4294967296\r\n\r\nabc")}, {cutShort, "abc"},
            {12030, "*"}),
        Row("a negative length", {Plain("HTTP/1.0 200 OK\r\nContent-Length: -5\r\n\r\nabc")},
            {0, "abc"}, {invalid, "*"}),
        Row("two lengths that differ",
            {Plain("HTTP/1.0 200 OK\r\nContent-Length: 600zz\r\nContent-Length: 3\r\n\r\nabc")},
            {invalid, "*"}),
        Row("one length twice",
            {Plain("HTTP/1.0 200 OK\r\nContent-Length: 3\r\ncontent-length:  3 \r\n\r\nabc")},
            {0, "abc"}),
        Row("bytes past the length", {Plain("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcdef")},
            {0, "abc"}),
        Row("header lines ended by LF alone", {Plain("HTTP/1.0 200 OK\nX-A: 1\n\nbody")},
            {QUARINET_ERROR_NO_HEADER_END, "*"}, {0, "body"}),
        Row("chunked framing to an HTTP/1.0 client",
            {Plain("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n")},
            {invalid, "5\r\nhello\r\n0\r\n\r\n"}, {0, "hello"}),
        Row("reset in mid-body", {RawReply::ResetAfter(ok + "partial")}, {10054, "partial"},
            {12031, "*"}),
        Row("reset before an answer", {RawReply::ResetAfter("")}, {10054, "*"}, {12031, "*"}),
        Row("closed without an answer", {Plain("")}, {10054, "*"}, {12152, "*"}),
        Row("a trickle of bytes", {RawReply::Trickle(ok + std::string(600, 't'), 7, 1)},
            {0, std::string(600, 't')}),
        Row("header lines without end",
            {RawReply::Endless("HTTP/1.0 200 OK\r\n", "X-Fill: " + std::string(1000, 'a') + "\r\n",
                               0)},
            {10054, "*"}, {12031, "*"}),
        Row("404", {Plain("HTTP/1.0 404 Not Found\r\n\r\nmissing")}, {status, "missing"}),
        Row("302 without a Location", {Plain("HTTP/1.0 302 Found\r\n\r\nmoved")},
            {status, "moved"}),
        Row("a relative Location",
            {Plain("HTTP/1.0 301 M\r\nLocation: a/../b?c\r\n\r\n"), Plain(ok + "there")},
            {0, "there"}),
        Row("an empty Location", {Plain("HTTP/1.0 302 F\r\nLocation:\r\n\r\nmoved")},
            {status, "moved"}),
        Row("a Location to a closed port",
            {Plain("HTTP/1.0 302 F\r\nLocation: http://127.0.0.1:" + std::to_string(closedPort) +
                   "/\r\n\r\n")},
            {10061, "*"}, {12029, "*"}),
        Row("a Location of another scheme",
            {Plain("HTTP/1.0 302 F\r\nLocation: ftp://h/x\r\n\r\nm")}, {status, "m"}, {12006, "*"}),
        // A continuation line with no header before it, alone and after a redirect (whose
        // headers the answer after it no longer has).
        Row("a folded first header line",
            {Plain("HTTP/1.0 200 OK\r\n folded\r\nContent-Length: 2\r\n\r\nok")}, {0, "ok"},
            {invalid, "*"}),
        Row("a folded first line after a redirect",
            {Plain("HTTP/1.0 302 F\r\nLocation: /b\r\nX-A: 1\r\n\r\n"),
             Plain("HTTP/1.0 200 OK\r\n folded\r\nContent-Length: 2\r\n\r\nok")},
            {0, "ok"}, {invalid, "*"}),
        Row("a redirect loop", {Plain("HTTP/1.0 302 F\r\nLocation: /again\r\n\r\nloop")},
            {QUARINET_ERROR_REDIRECT_LIMIT, "loop"}, {QUARINET_ERROR_REDIRECT_LIMIT, "*"}),
    };
    HostileAnswer silent = Row("a server that says nothing", {RawReply::Silent()},
                               {QUARINET_ERROR_TIMED_OUT, "*"}, {12002, "*"});
    silent.slow = true;
    rows.push_back(silent);
    return rows;
}
