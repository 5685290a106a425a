#include "admin/PageVariables.h"

#include <memory>

#include "htx/HtxProcessor.h"

namespace {

// Texts the pages show or test, set to the empty text until a page sets its own.
constexpr const char* kOwnTexts[] = {
    "err_msg",
    "err_kind",
    "qa_lm_sm_name",
    // The options page ticks the logging box from this one only.
    "optn_log_checked",
    // The log viewer sets these only for a disabled button, and a category row leaves out its
    // line break on the last row; a form field must not stand in for either.
    "vl_first_dsbld",
    "vl_prev_dsbld",
    "vl_next_dsbld",
    "vl_last_dsbld",
    "ve_log_show_cat_br",
};
// Lists the log viewer sets only when it has rows for them.
constexpr const char* kOwnLists[] = {"ve_log_show_cats_loop", "vl_log_groups"};

const char* KindName(MessageKind kind) {
    switch (kind) {
        case MessageKind::Error:
            return "error";
        case MessageKind::Ok:
            return "ok";
        case MessageKind::Info:
            break;
    }
    return "info";
}

}  // namespace

void ClaimPageVariables(HtxProcessor& page) {
    for (const char* name : kOwnTexts) {
        page.SetStringVar(name, std::string());
    }
    // Only the set-up page's first visit shows its welcome text.
    page.SetIntVar("isonwin", 0);
    for (const char* name : kOwnLists) {
        page.SetListVar(name, std::make_shared<RowList>());
    }
}

void SetPageMessage(HtxProcessor& page, MessageKind kind, const std::string& text) {
    page.SetStringVar("err_msg", text);
    page.SetStringVar("err_kind", KindName(kind));
}
