// QuarInet: the HTTP client library's public interface. This is the one header a client
// includes; it links against libQuarInet.so.
//
// Conventions shared by every export:
// - Text is 8-bit and NUL-terminated. Header blocks are lines ending in CR LF, possibly
//   closed by a blank line. Lengths travel by reference and exclude the NUL.
// - Every buffer the library hands out comes from the library's own heap; the caller owns it
//   and releases it with QuarInetFree, never with its own allocator.
// - Texts and buffers passed in are only read, except where a function says that it edits a
//   caller's buffer in place.
// - Nothing throws across this boundary: functions report failure through their result.
#pragma once

#include <stdint.h>

// Marks the library's exports; everything else in libQuarInet.so is hidden.
#define QUARINET_API __attribute__((visibility("default")))

// ---------------------------------------------------------------------------------------------
// Connection options
// ---------------------------------------------------------------------------------------------

// The settings that decide how requests reach a server: through the platform internet library
// with the browser's settings, directly, or through a proxy (optionally with Basic
// authentication). Each client application keeps them under a key name of its own in the
// current user's registry. A plain record, owned by one thread at a time.
class QUARINET_API QuarInetOptions {
public:
    // Room of each text member, NUL included.
    enum { TextSize = 260 };

    // Defaults (browser settings, port 80, nothing else set); with a non-null key name the
    // stored settings are loaded over them.
    QuarInetOptions();
    explicit QuarInetOptions(const char* key_name);
    // Copies the seven settings; DialogTitle is left unset.
    QuarInetOptions(const QuarInetOptions& other);
    QuarInetOptions& operator=(const QuarInetOptions& other);

    // Reads the settings stored under `key_name`. False only for a null or empty name; a
    // missing key keeps the record as it is, a missing or unreadable value takes its default.
    bool Load(const char* key_name);
    // Stores the seven settings under `key_name` (the password Base64-encoded). False for a
    // null or empty name or when the key cannot be written.
    bool Save(const char* key_name);
    // Copies the browser's proxy settings into the record (proxy mode or direct, no
    // authentication). False, record unchanged, when they cannot be read.
    bool ImportIESettings();

    int32_t UseIEsettings;
    int32_t Proxy;
    char ProxyAddress[TextSize];
    uint32_t ProxyPort;
    int32_t ProxyAuthorization;
    char ProxyLog[TextSize];
    char ProxyPwd[TextSize];
    // Caption of the settings dialog; not owned, set only by Configure.
    const char* DialogTitle;
};

// ---------------------------------------------------------------------------------------------
// Memory
// ---------------------------------------------------------------------------------------------

// Releases a block that the library allocated (response header blocks and bodies, MIME header
// blocks and bodies, the parts array of ParseMimeMultipart). A null pointer is ignored.
QUARINET_API void QuarInetFree(void* block);

// ---------------------------------------------------------------------------------------------
// Header blocks and status line
//
// Header names are given with their colon ("Content-Length:") and are matched without regard
// to letter case at the start of a line only, so "Content-type:" is not found inside
// "X-Content-type:" nor inside a value.
// ---------------------------------------------------------------------------------------------

// Reads the status line at the start of `headers` ("HTTP/1.0 200 OK"): the version word into
// `version`, the number into `code` and the rest of the line (possibly empty) into `reason`.
// `version` and `reason` each hold `size` bytes. Returns false when the block has no CR within
// its first `size` characters, when the line lacks a version or a number, or when the version
// does not fit; a reason longer than size - 1 characters is cut.
QUARINET_API bool QuarInetGetHttpStatusCode(const char* headers, char* version, uint32_t& code,
                                            char* reason, int size);

// Copies the value of the header `name` (after the blanks that follow the name, up to the next
// CR LF or the end of the text) into `out` of `size` bytes, cut to size - 1 characters.
// Returns false when the name is absent or nothing follows it but blanks.
QUARINET_API bool QuarInetGetHeaderValue(const char* headers, const char* name, char* out,
                                         int size);

// QuarInetGetHeaderValue with the name "Location:".
QUARINET_API bool QuarInetGetLocation(const char* headers, char* out, int size);

// Removes, in place, the first header `name` with its line end (or, on an unterminated last
// line, the rest of the text) and shortens `length` accordingly. Returns the position in the
// block where the header was, or null when it is absent.
QUARINET_API char* QuarInetRemoveHeader(char* headers, uint32_t& length, const char* name);

// Appends `line` (which ends in its own CR LF) to the block in place and updates `length`.
// When the block is closed by a blank line, the line replaces the blank line and anything after
// it, so a line that should keep the block closed ends with its own blank line. The caller
// provides the room. Returns where the line was written (closed block) or the new end of the
// text (open block).
QUARINET_API char* QuarInetAppendHeader(char* headers, uint32_t& length, const char* line);

// ---------------------------------------------------------------------------------------------
// URLs and escaping
// ---------------------------------------------------------------------------------------------

// Splits `url` into scheme (with its "://", empty when there is none), host, port (80 unless
// the host is followed by ":" and a number) and path (from the first "/" or "\" after the
// host, with the query). `scheme`, `host` and `path` each hold `size` bytes. Returns false for
// a URL without a path, or when the scheme or host does not fit; a longer path is cut to
// size - 1 characters.
QUARINET_API bool QuarInetSplitUrl(const char* url, char* scheme, char* host, uint32_t& port,
                                   char* path, int size);

// Joins scheme (null or empty: "http://"), host, ":port" (left out for 0 and 80) and path
// (null or empty: "/") into `out` of `size` bytes. Returns false when the result does not fit.
QUARINET_API bool QuarInetCombineUrl(const char* scheme, const char* host, uint32_t port,
                                     const char* path, char* out, int size);

// Form-style escaping into `out` of `size` bytes: a space becomes "+", letters, digits, "-" and
// "_" stay, every other byte becomes "%XX" in upper case. Returns false when the result does not
// fit (the output then holds the part that did).
QUARINET_API bool QuarURLEscape(char* out, int size, const char* in);

// Reverses form-style escaping into `out` of `size` bytes: "+" becomes a space and "%" with two
// characters their hexadecimal value (reading stops at the first non-hexadecimal character; a
// value whose low byte is 0 becomes the digit "0"). Returns false for a "%" followed by fewer
// than two characters, or when the result does not fit.
QUARINET_API bool QuarURLUnescape(char* out, int size, const char* in);

// ---------------------------------------------------------------------------------------------
// Result codes
// ---------------------------------------------------------------------------------------------

// The text for a result code of the library (Windows, Windows Sockets or WinInet numbering).
// Codes in the library's own tables give constant text. Any other code gives the system's
// message or "Error 0x<code> has occured" in a buffer of the calling thread, valid until that
// thread's next such call.
QUARINET_API const char* QuarInetGetErrorDescription(uint32_t code);

// ---------------------------------------------------------------------------------------------
// MIME multipart bodies and content encoding
// ---------------------------------------------------------------------------------------------

// One part of a multipart body.
// Building: `headers` is the part's header text, each line ending in CR LF (`headers_length` is
// not used); `data` and `data_length` the content, where a length of 0xFFFFFFFF means that
// `data` is NUL-terminated text whose length is taken.
// Parsing: `headers` and `data` point into the caller's body; `headers_length` counts the header
// lines without the closing blank line, `data_length` the content without the line break before
// the next delimiter.
struct mime_part {
    const char* headers;
    uint32_t headers_length;
    const char* data;
    uint32_t data_length;
};

// Builds a multipart body from `count` parts with a boundary that occurs in none of them, and
// the request header block for it: `request_headers` (may be null) with its "Content-type:"
// value extended by "; boundary=..." or, when it has none, a "Content-type:" line for
// multipart/form-data. The body ends with the closing delimiter line ("--boundary--" CR LF),
// followed by a NUL that `body_length` does not count. On success both outputs are the caller's, to
// release with QuarInetFree. Returns false only when memory runs out; the outputs are then null.
QUARINET_API bool ConstructMimeMultipart(char*& headers_out, char*& body_out,
                                         uint32_t& body_length_out, const char* request_headers,
                                         const mime_part* parts, uint32_t count);

// The same with the parts given as triples (const char* part headers, const char* data,
// uint32_t data length), ended by a null part-header pointer:
//   ConstructMimeMultipart(h, b, n, req, "Content-Disposition: ...\r\n", "x", 1u,
//                          (const char*)nullptr);
QUARINET_API bool ConstructMimeMultipart(char*& headers_out, char*& body_out,
                                         uint32_t& body_length_out, const char* request_headers,
                                         ...);

// True when the "Content-type:" value of `headers` begins with "multipart/" (any letter case).
QUARINET_API bool IsMimeMultipart(const char* headers);

// Splits a multipart `body` of `body_length` bytes at the boundary named in the "Content-type:"
// header of `headers` (quoted or not). On success stores a new array of the parts in
// `parts_out` (null when the body has no parts), to release with QuarInetFree, and returns the
// number of parts; the parts point into `body` and stay valid as long as it does. Returns 0 and
// leaves `parts_out` unchanged for a body that is not multipart or is malformed (no boundary, no
// delimiter, a part without its blank line or without a delimiter after it, no closing
// delimiter).
QUARINET_API uint32_t ParseMimeMultipart(const char* headers, const char* body,
                                         uint32_t body_length, mime_part*& parts_out);

// Decodes a response body whose "Content-Encoding:" is gzip or x-gzip. `headers` and `body`
// must be buffers of the library (as the transports hand out). On decoding, the body is
// replaced by the decoded bytes (followed by a NUL not counted in its length), the old one is
// released, and the header block is replaced by one without the "Content-Encoding:" and
// "Content-Length:" lines and ending in "Content-Length: <decoded length>" and a blank line.
// Bytes that do not start like gzip pass through unchanged, with the headers rewritten; a body
// damaged after its gzip header yields the bytes decoded before the damage. The response stays
// as it came (encoding header included) when it is not gzip-encoded, when its gzip header is
// unreadable, when memory runs out, or when it would decode to more than 512 MiB. Always
// returns true.
QUARINET_API bool UnpackContent(char*& headers, uint32_t& headers_length, char*& body,
                                uint32_t& body_length);
