// The variables of the administration pages that the program alone sets. Form fields become
// template variables of the same names, so a request could otherwise put its own text into a
// page's message box, links or switches; every one of these is set by the program before a
// page is chosen, and the page that shows it sets it again to its own value.
#pragma once

#include <string>

class HtxProcessor;

// How a page's message is shown: as a refusal or problem, as plain information, or as the
// confirmation of a change. The style follows the kind, never a word in the text.
enum class MessageKind { Info, Error, Ok };

// Gives every variable the pages own its neutral value: no message, no session token, no
// welcome text, no switch ticked, no paging button disabled, no rows.
void ClaimPageVariables(HtxProcessor& page);

// Sets the page's message "err_msg" and its kind "err_kind" ("info", "error" or "ok").
void SetPageMessage(HtxProcessor& page, MessageKind kind, const std::string& text);
