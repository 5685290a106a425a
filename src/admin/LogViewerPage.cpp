#include "admin/LogViewerPage.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "admin/AdminApplication.h"
#include "admin/FormDecimal.h"
#include "admin/FormFields.h"
#include "admin/LogViewerIndex.h"
#include "admin/LogViewerPaging.h"
#include "admin/LogViewerReader.h"
#include "admin/SessionPages.h"
#include "eventlog/EventRecord.h"
#include "eventlog/LogFiles.h"
#include "htx/HtxProcessor.h"
#include "platform/Env.h"
#include "platform/FileUtil.h"
#include "settings/SettingsStore.h"

namespace {

constexpr const char* kViewLogPage = "quar_view_log.htx";
constexpr std::uint32_t kGroupByCategoryFlag = 1u << 0;
// Bit kHiddenShift + i of the view flags hides category i.
constexpr int kHiddenShift = 4;
constexpr const char* kSortByDate = "ve_log_sort_by_date";
constexpr const char* kSortByCategory = "ve_log_sort_by_cat";

// A typed page or line number: form numbers beyond the 32-bit range are cut to it, as the
// page arithmetic expects.
std::int64_t FormLineNumber(const HtxProcessor& page, const char* field) {
    const std::int64_t value = FormDecimal(FormText(page, field));
    return std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max());
}

std::int32_t AsTemplateInt(std::int64_t value) {
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max()));
}

// Replaces a stored choice; true when it changed.
template <typename T>
bool Store(T& setting, T value) {
    if (setting == value) {
        return false;
    }
    setting = std::move(value);
    return true;
}

// The filters and category check boxes of the form; only a request that carries the form
// (it always has "ve_log_sort_by") changes them. True when a stored choice changed.
bool ApplyViewForm(const HtxProcessor& page, ServerSettings& settings, int categories) {
    bool changed = false;
    changed |=
        Store(settings.logProductFilter, UpperCaseFilter(FormText(page, "ve_log_filter_by_prod")));
    changed |=
        Store(settings.logUserFilter, UpperCaseFilter(FormText(page, "ve_log_filter_by_user")));
    changed |=
        Store(settings.logComputerFilter, UpperCaseFilter(FormText(page, "ve_log_filter_by_comp")));
    std::uint32_t flags = settings.logViewFlags;
    for (int i = 0; i < categories; ++i) {
        const std::uint32_t hidden = 1u << (kHiddenShift + i);
        const std::string field = "ve_log_show_cat" + std::to_string(i);
        flags = FormText(page, field.c_str()).empty() ? flags | hidden : flags & ~hidden;
    }
    changed |= Store(settings.logViewFlags, flags);
    return changed;
}

// The index of the shown entries of the log open on `fd`.
void IndexLog(int fd, LogViewIndex& index) {
    LogLineReader reader(fd);
    std::uint64_t offset = 0;
    std::string_view line;
    while (reader.Next(offset, line)) {
        index.Add(offset, line);
    }
}

// The entries [first, end) of one page: each display text followed by CR LF, all in one text,
// and one run of texts per category group met on the page, in page order.
struct PageEntries {
    std::string text;
    std::vector<std::pair<int, std::string>> groups;  // category (-1: none), texts
};

// A sparse or binary log holds NUL bytes, which the page must not carry: each run of them shows
// as one blank.
std::string WithoutNulBytes(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\0') {
            shown += text[i];
        } else if (i == 0 || text[i - 1] != '\0') {
            shown += ' ';
        }
    }
    return shown;
}

PageEntries ReadPage(int fd, const LogViewIndex& index, std::int64_t first, std::int64_t end,
                     const MessageCatalogue& catalogue) {
    PageEntries page;
    EventRecord record;
    for (std::int64_t i = first; i < end; ++i) {
        const std::size_t entry = static_cast<std::size_t>(i);
        const std::string line = ReadLogLineAt(fd, index.OffsetAt(entry));
        record.ParseLine(TrimLogLine(line));
        const std::string text = WithoutNulBytes(record.DisplayText(catalogue)) + "\r\n";
        page.text += text;
        const int group = index.GroupAt(entry);
        if (page.groups.empty() || page.groups.back().first != group) {
            page.groups.emplace_back(group, std::string());
        }
        page.groups.back().second += text;
    }
    return page;
}

// The grouped view's rows: the category's name as the heading (empty for the entries without
// a category) and its entries on this page.
std::shared_ptr<RowList> GroupRows(const PageEntries& page, const std::vector<std::string>& names) {
    auto rows = std::make_shared<RowList>();
    for (const auto& [group, text] : page.groups) {
        VarMap& row = rows->AddBack();
        const bool named = group >= 0 && static_cast<std::size_t>(group) < names.size();
        MapSetString(row, "vl_log_group_name", named ? names[static_cast<std::size_t>(group)] : "");
        MapSetString(row, "vl_log_group_cont", text);
    }
    return rows;
}

void SetPagingVariables(HtxProcessor& page, std::int64_t entries, std::int64_t topLine,
                        std::int32_t pageSize) {
    const LogPageNumbers numbers = PageNumbersOf(entries, topLine, pageSize);
    page.SetIntVar("ve_log_page", pageSize);
    page.SetIntVar("ve_log_page_tot", AsTemplateInt(numbers.pages));
    page.SetIntVar("ve_log_page_num", AsTemplateInt(numbers.current));
    page.SetIntVar("ve_log_top_line", AsTemplateInt(topLine));
    if (numbers.backDisabled) {
        page.SetStringVar("vl_first_dsbld", "disabled");
        page.SetStringVar("vl_prev_dsbld", "disabled");
    }
    if (numbers.forwardDisabled) {
        page.SetStringVar("vl_next_dsbld", "disabled");
        page.SetStringVar("vl_last_dsbld", "disabled");
    }
}

void SetViewVariables(HtxProcessor& page, const ServerSettings& settings,
                      const std::vector<std::string>& names, int categories) {
    page.SetStringVar("ve_log_filter_by_prod", settings.logProductFilter);
    page.SetStringVar("ve_log_filter_by_user", settings.logUserFilter);
    page.SetStringVar("ve_log_filter_by_comp", settings.logComputerFilter);
    const bool grouped = settings.logViewFlags & kGroupByCategoryFlag;
    page.SetStringVar("ve_log_sort_by_cat_chkd", grouped ? "checked" : "");
    page.SetStringVar("ve_log_sort_by_date_chkd", grouped ? "" : "checked");
    page.SetIntVar("ve_log_show_cats", categories);
    if (categories == 0) {
        return;
    }
    auto rows = std::make_shared<RowList>();
    for (int i = 0; i < categories; ++i) {
        VarMap& row = rows->AddBack();
        MapSetInt(row, "ve_log_show_cat_num", i);
        MapSetString(row, "ve_log_show_cat_name", names[static_cast<std::size_t>(i)]);
        if (i + 1 < categories) {
            MapSetString(row, "ve_log_show_cat_br", "<br>");
        }
        const bool hidden = settings.logViewFlags & (1u << (kHiddenShift + i));
        MapSetString(row, "ve_log_show_cat_chkd", hidden ? "" : "checked");
    }
    page.SetListVar("ve_log_show_cats_loop", rows);
}

}  // namespace

Reply HandleViewLog(AdminApplication& app) {
    if (std::optional<Reply> other = BeginProtectedPage(app)) {
        return std::move(*other);
    }
    HtxProcessor& page = app.Processor();
    ServerSettings& settings = app.Settings();
    const MessageCatalogue& catalogue = app.Catalogue();
    const std::vector<std::string>& names = catalogue.CategoryNames();
    const int categories =
        static_cast<int>(std::min<std::size_t>(names.size(), LogViewIndex::kCategories));

    // Page size and position. A new page size keeps the top line; the typed page number
    // counts in the page size it was typed for.
    const std::int64_t pageNumber = FormLineNumber(page, "ve_log_page_num");
    std::int64_t topLine = FormLineNumber(page, "ve_log_top_line");
    const std::string sizeText = FormText(page, "ve_log_page");
    const std::int32_t pageSize =
        BoundedLogPageSize(sizeText.empty() ? settings.logPageSize : FormDecimal(sizeText));
    bool changed = Store(settings.logPageSize, pageSize);
    if (!changed && pageNumber != 0) {
        topLine = pageSize * (pageNumber - 1);
    }

    const std::string sortBy = FormText(page, "ve_log_sort_by");
    if (sortBy == kSortByDate) {
        changed |= Store(settings.logViewFlags, settings.logViewFlags & ~kGroupByCategoryFlag);
    } else if (sortBy == kSortByCategory) {
        changed |= Store(settings.logViewFlags, settings.logViewFlags | kGroupByCategoryFlag);
    }
    if (HasFormField(page, "ve_log_sort_by")) {
        changed |= ApplyViewForm(page, settings, categories);
    }
    if (changed) {
        // The page shows the new choices even when they cannot be kept.
        SaveServerSettings(settings, app.DataDirectory(), app.Platform());
    }

    LogViewSelection selection;
    selection.groupByCategory = settings.logViewFlags & kGroupByCategoryFlag;
    selection.hiddenMask = (settings.logViewFlags >> kHiddenShift) & 0xFFu;
    selection.productFilter = settings.logProductFilter;
    selection.userFilter = settings.logUserFilter;
    selection.computerFilter = settings.logComputerFilter;
    LogViewIndex index(catalogue, selection);
    // The log stays open until the page is made: a line found here is read again from the
    // same file even if another process deletes the log meanwhile.
    const std::string logPath = ChooseEventLog(app.DataDirectory()).primary;
    const UniqueFd log = app.Platform().OpenForReading(logPath);
    if (log) {
        IndexLog(log.get(), index);
    }

    const std::string button = FormText(page, "vl_butt");
    if (button == "Clear Log File") {
        app.Platform().RemoveFile(logPath);  // a log that cannot be deleted still shows empty
        index.Clear();
    }
    const std::int64_t entries = static_cast<std::int64_t>(index.size());
    topLine = TopLineAfterButton(button, topLine, entries, pageSize);

    SetPagingVariables(page, entries, topLine, pageSize);
    SetViewVariables(page, settings, names, categories);
    const std::int64_t end = std::min(topLine + pageSize, entries);
    PageEntries shown;
    if (log) {
        shown = ReadPage(log.get(), index, topLine, end, catalogue);
    }
    if (selection.groupByCategory) {
        page.SetListVar("vl_log_groups", GroupRows(shown, names));
    }
    page.SetStringVar("vl_log_cont", std::move(shown.text));
    return Reply::Page(kViewLogPage);
}
