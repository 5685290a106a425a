// Feeds arbitrary bytes to the event log's readers: as catalogue text, as log lines and as
// display templates. A parsed record written back must stay one line of nine columns and read
// back to the same fields, with only tabs and line breaks of its column texts turned to blanks.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "eventlog/EventRecord.h"
#include "eventlog/MessageCatalogue.h"

namespace {

std::string Blanked(const std::string& text, bool keepTabs) {
    std::string out = text;
    for (char& c : out) {
        if (c == '\r' || c == '\n' || (c == '\t' && !keepTabs)) {
            c = ' ';
        }
    }
    return out;
}

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void CheckRoundTrip(const EventRecord& record) {
    const std::string line = record.FormatLine();
    Require(line.find_first_of("\r\n") == std::string::npos);
    EventRecord back;
    back.ParseLine(line);
    Require(back.code == Blanked(record.code, false));
    Require(back.time == record.time);
    Require(back.clientAddress == Blanked(record.clientAddress, false));
    Require(back.proxyAddress == Blanked(record.proxyAddress, false));
    Require(back.user == Blanked(record.user, false));
    Require(back.computer == Blanked(record.computer, false));
    Require(back.product == Blanked(record.product, false));
    Require(back.message == Blanked(record.message, true));
    Require(back.FormatLine() == line);
}

}  // namespace

// A fixed zone keeps the time texts from reading the zone file at every call.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("TZ", "UTC", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    MessageCatalogue catalogue;
    catalogue.Parse(input);
    Require(catalogue.CategoryNames().size() <= MessageCatalogue::kMaxCategories);

    std::string_view rest = input;
    for (bool first = true; !rest.empty(); first = false) {
        const std::size_t end = rest.find('\n');
        EventRecord record;
        record.ParseLine(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        CheckRoundTrip(record);
        record.DisplayText(catalogue);
        if (first) {
            record.DisplayText(input);  // once: the whole input as one template
        }
    }
    return 0;
}
