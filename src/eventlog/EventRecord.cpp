#include "eventlog/EventRecord.h"

#include <ctime>
#include <limits>

#include "archive/KxTime.h"
#include "eventlog/MessageCatalogue.h"
#include "platform/Decimal.h"

namespace {

constexpr char kColumnSeparator = '\t';
// Columns before the message; the message is everything after the last of their tabs.
constexpr int kFieldColumns = 8;

std::int32_t Now() {
    return static_cast<std::int32_t>(std::time(nullptr));
}

// The record's own time in local time. (formatTimeLong and formatTimeShort read 0 as "now",
// which would date a record of 1970, or a line without a time, to the moment of display.)
KxTime LocalTime(std::int32_t time) {
    KxTime local;
    local.fromTime(time, false);
    return local;
}

// A field text as one column: nothing in it may end the column or the line.
void AppendColumn(std::string& line, const std::string& text) {
    for (char c : text) {
        line += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
    }
    line += kColumnSeparator;
}

// The message as the last column: tabs stay, line breaks may not.
void AppendLastColumn(std::string& line, const std::string& text) {
    for (char c : text) {
        line += (c == '\r' || c == '\n') ? ' ' : c;
    }
}

// The leading decimal number with an optional sign, 0 when there is none; values beyond the
// 32-bit range are clamped rather than wrapped.
std::int32_t ParseTime(std::string_view text) {
    return static_cast<std::int32_t>(ScanDecimal(text, DecimalSyntax::kSignedDigits,
                                                 std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max())
                                         .value);
}

}  // namespace

EventRecord::EventRecord() : time(Now()) {}

void EventRecord::Reset() {
    *this = EventRecord();
}

void EventRecord::Stamp(const std::string& messageCode, std::time_t now) {
    time = static_cast<std::int32_t>(now);
    code = messageCode;
}

std::string EventRecord::FormatLine() const {
    std::string line;
    AppendColumn(line, code);
    line += std::to_string(time);
    line += kColumnSeparator;
    line += LocalTime(time).toShortText();
    line += kColumnSeparator;
    AppendColumn(line, clientAddress);
    AppendColumn(line, proxyAddress);
    AppendColumn(line, user);
    AppendColumn(line, computer);
    AppendColumn(line, product);
    AppendLastColumn(line, message);
    return line;
}

void EventRecord::ParseLine(std::string_view line) {
    Reset();
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    std::string* const fields[kFieldColumns] = {&code,         nullptr, nullptr,   &clientAddress,
                                                &proxyAddress, &user,   &computer, &product};
    for (int column = 0; column < kFieldColumns; ++column) {
        const std::size_t end = line.find(kColumnSeparator);
        const std::string_view text = line.substr(0, end);
        if (column == 1) {
            time = ParseTime(text);
        } else if (fields[column] != nullptr) {
            fields[column]->assign(text);
        }
        if (end == std::string_view::npos) {
            return;  // fewer columns: the rest keep their reset values
        }
        line.remove_prefix(end + 1);
    }
    message.assign(line);
}

std::string EventRecord::DisplayText(const MessageCatalogue& catalogue) const {
    const MessageEntry* entry = catalogue.Find(code);
    return DisplayText(entry == nullptr ? std::string_view() : std::string_view(entry->text));
}

std::string EventRecord::DisplayText(std::string_view templateText) const {
    if (templateText.empty()) {
        return FormatLine();
    }
    std::string out;
    for (std::size_t pos = 0; pos < templateText.size(); ++pos) {
        const char c = templateText[pos];
        if (c != '%') {
            out += c;
            continue;
        }
        if (pos + 1 == templateText.size()) {
            out += '%';
            break;
        }
        switch (const char marker = templateText[++pos]) {
            case 'c':
                out += code;
                break;
            case 'd':
                out += LocalTime(time).toLongText();
                break;
            case 's':
                out += LocalTime(time).toShortText();
                break;
            case 'i':
                out += clientAddress;
                break;
            case 'x':
                out += proxyAddress;
                break;
            case 'a':
                // The forwarded address names whoever the sender says; the connecting one is
                // the only one known to be true, so both show when they differ.
                out += clientAddress;
                if (!proxyAddress.empty() && proxyAddress != clientAddress) {
                    out += " (connecting from " + proxyAddress + ")";
                }
                break;
            case 'u':
                out += user;
                break;
            case 'h':
                out += computer;
                break;
            case 'p':
                out += product;
                break;
            case 'm':
                out += message;
                break;
            default:
                out += marker;
                break;
        }
    }
    return out;
}
