// One event of the event log "quar_nbx_log.txt" and its tab-separated line:
//   code, time, short time text, client address, proxy address, user, computer, product,
//   message
// one tab between columns; the message runs to the end of the line.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

class MessageCatalogue;

// The application object owns one (its current event); the log viewer makes one per line.
class EventRecord {
  public:
    // Time now, every text empty.
    EventRecord();

    // Back to the constructed state: time now, every text empty.
    void Reset();

    // Prepares the record for writing: the time `now` (seconds since 1970) and the given
    // message code.
    void Stamp(const std::string& messageCode, std::time_t now);

    // The log line without its line end. Tabs, carriage returns and line feeds in the code,
    // the addresses, user, computer and product become blanks, and carriage returns and line
    // feeds in the message too, so that no field text can split the line or shift its
    // columns. Tabs in the message stay: it is the last column.
    std::string FormatLine() const;

    // Fills the record from one log line (a trailing CR or LF is ignored). Columns that are
    // missing keep their reset values (texts empty, time now); the time is the leading optionally
    // signed decimal number of column 2 (0 when there is none, clamped to the 32-bit range); column
    // 3 is ignored; the message is everything after the eighth tab, tabs included. Never fails.
    void ParseLine(std::string_view line);

    // The human-readable text of the event: the catalogue text of the code expanded with the
    // record's fields, or FormatLine() when the catalogue has no text for the code.
    std::string DisplayText(const MessageCatalogue& catalogue) const;

    // `templateText` expanded with the record's fields, or FormatLine() when it is empty.
    // Markers: %c code, %d long time text, %s short time text, %i client address, %x proxy
    // address, %a client address followed by " (connecting from <proxy address>)" when the
    // request came through a proxy with another address, %u user, %h computer, %p product,
    // %m message. '%' followed by any other
    // character gives that character ("%%" gives "%"); a '%' at the very end stays.
    std::string DisplayText(std::string_view templateText) const;

    std::string code;           // message code of the catalogue
    std::int32_t time = 0;      // seconds since 1970 (UTC)
    std::string clientAddress;  // from the request; untrusted
    std::string proxyAddress;   // from the request
    std::string user;           // "NBX_admin" in the administration program
    std::string computer;
    std::string product;
    std::string message;  // free text of the event, e.g. "Options updated."
};
