// The log viewer over any event log bytes: the line reader, the index with its filters and
// grouping, the paging, and the page's log section of "quar_view_log.htx" rendered with the
// entries of one page.
//
// Input: four control bytes (reader buffer sizes and grouping, hidden categories, page size,
// button and filter), then the log file.
//
// Checked: every line comes with its offset and the file's bytes there, no longer than the
// bound; the index shows only lines of the file; the top line stays within the log; the
// rendered section is well-formed HTML: its tags are those of the template, every <pre> closed,
// and no "<" or ">" of the log reaches it raw.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "admin/LogViewerIndex.h"
#include "admin/LogViewerPaging.h"
#include "admin/LogViewerReader.h"
#include "eventlog/EventRecord.h"
#include "eventlog/MessageCatalogue.h"
#include "htx/HtxProcessor.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

std::string ReadSiteFile(const char* name) {
    std::ifstream in(std::string(QUAR_SITE_DIR) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Fixture {
    MessageCatalogue catalogue;
    std::string section;  // the page's log section, from "<%if vl_log_cont" to its "<form"
    int fd = memfd_create("log", 0);

    Fixture() {
        catalogue.Parse(ReadSiteFile("quar_nbx_mess.def"));
        const std::string page = ReadSiteFile("quar_view_log.htx");
        const size_t begin = page.find("<%if vl_log_cont");
        const size_t end = page.find("<form", begin);
        if (begin == std::string::npos || end == std::string::npos || fd < 0) {
            abort();
        }
        section = page.substr(begin, end - begin);
    }
};

constexpr size_t kChunks[] = {2, 16, 256, LogLineReader::kDefaultChunkBytes};
constexpr const char* kButtons[] = {"First", "Last", "<<", ">>", "Read", "Clear Log File", "", "x"};
constexpr const char* kFilters[] = {"", "QUAR", "A", "<"};

size_t Count(const std::string& text, const char* what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// The section's text between the tags: no "<" or ">" but those of the tags themselves.
void CheckWellFormed(const std::string& html, bool grouped) {
    Check(Count(html, "<pre") == Count(html, "</pre>"), "every <pre> is closed");
    Check(Count(html, "<h3") == Count(html, "</h3>"), "every <h3> is closed");
    for (const char* open : {"<pre class=\"log\">", "<h3 class=\"loggroup\">"}) {
        const char* close = open[1] == 'p' ? "</pre>" : "</h3>";
        for (size_t at = html.find(open); at != std::string::npos; at = html.find(open, at + 1)) {
            const size_t from = at + strlen(open);
            const size_t to = html.find(close, from);
            Check(to != std::string::npos, "the element ends");
            Check(html.find_first_of("<>", from) >= to, "no raw < or > inside");
        }
    }
    Check(grouped || Count(html, "<pre") <= 1, "one log block when not grouped");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture fixture;
    if (size < 4) {
        return 0;
    }
    const size_t chunk = kChunks[data[0] & 3];
    const size_t maxLine = chunk > 1 ? chunk - 1 : 1;
    const size_t bound = maxLine < kMaxLogLineBytes ? maxLine : kMaxLogLineBytes;
    LogViewSelection selection;
    selection.groupByCategory = (data[0] & 4) != 0;
    selection.hiddenMask = data[1];
    selection.productFilter = UpperCaseFilter(kFilters[(data[3] >> 3) & 3]);
    const std::int32_t pageSize = BoundedLogPageSize(data[2]);
    const char* button = kButtons[data[3] & 7];
    const std::string log(reinterpret_cast<const char*>(data + 4), size - 4);
    const int fd = fixture.fd;
    if (ftruncate(fd, 0) != 0 ||
        pwrite(fd, log.data(), log.size(), 0) != static_cast<ssize_t>(log.size()) ||
        lseek(fd, 0, SEEK_SET) != 0) {
        abort();
    }

    LogLineReader reader(fd, chunk, bound);
    LogViewIndex index(fixture.catalogue, selection);
    std::set<std::uint64_t> offsets;
    std::uint64_t offset = 0;
    std::string_view line;
    std::uint64_t previous = 0;
    while (reader.Next(offset, line)) {
        Check(offsets.empty() || offset > previous, "lines come in file order");
        Check(offset <= log.size(), "a line starts in the file");
        Check(line.size() <= bound, "a line is cut at the bound");
        Check(log.compare(offset, line.size(), line) == 0, "a line is the file's bytes");
        Check(line.find('\n') == std::string_view::npos, "a line holds no LF");
        Check(ReadLogLineAt(fd, offset, bound) == line, "read again by offset, the same");
        previous = offset;
        offsets.insert(offset);
        index.Add(offset, line);
    }
    Check(index.size() <= offsets.size(), "no more entries than lines");

    const std::int64_t entries = static_cast<std::int64_t>(index.size());
    const std::int64_t topLine =
        TopLineAfterButton(button, static_cast<int8_t>(data[1]) * 7, entries, pageSize);
    Check(topLine >= 0 && (entries == 0 ? topLine == 0 : topLine < entries), "top line in the log");
    const std::int64_t end = std::min<std::int64_t>(topLine + pageSize, entries);

    std::string text;
    std::vector<std::pair<int, std::string>> runs;  // category (-1: none), texts
    EventRecord record;
    for (std::int64_t i = topLine; i < end; ++i) {
        const std::uint64_t at = index.OffsetAt(static_cast<size_t>(i));
        Check(offsets.count(at) == 1, "an entry is a line of the file");
        const int group = index.GroupAt(static_cast<size_t>(i));
        Check(group >= -1 && group < LogViewIndex::kCategories, "a group is a category or none");
        record.ParseLine(TrimLogLine(ReadLogLineAt(fd, at)));
        const std::string shown = record.DisplayText(fixture.catalogue) + "\r\n";
        text += shown;
        if (runs.empty() || runs.back().first != group) {
            runs.emplace_back(group, std::string());
        }
        runs.back().second += shown;
    }
    auto groups = std::make_shared<RowList>();
    const auto& names = fixture.catalogue.CategoryNames();
    for (const auto& [group, texts] : runs) {
        VarMap& row = groups->AddBack();
        const bool named = group >= 0 && static_cast<size_t>(group) < names.size();
        MapSetString(row, "vl_log_group_name", named ? names[static_cast<size_t>(group)] : "");
        MapSetString(row, "vl_log_group_cont", texts);
    }

    static const char* const kNoEnvironment[] = {nullptr};
    HtxProcessor page(false, kNoEnvironment);
    page.SetStringVar("ve_log_sort_by_cat_chkd", selection.groupByCategory ? "checked" : "");
    page.SetListVar("vl_log_groups", groups);
    page.SetStringVar("vl_log_cont", text);
    std::string html;
    page.ProcessTemplateText(fixture.section,
                             [&](const char* bytes, size_t n) { html.append(bytes, n); });
    CheckWellFormed(html, selection.groupByCategory);
    return 0;
}
