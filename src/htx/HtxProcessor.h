// The template processor of the administration pages: the variable store and the ".htx"
// prototype language.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "htx/HtxFileText.h"
#include "htx/HtxValue.h"
#include "htx/HtxVariables.h"
#include "htx/HtxWriter.h"
#include "htx/RowList.h"
#include "htx/VarMap.h"

// One processor is made per process, early in main, and lives until the process ends.
// Single-threaded; not reentrant (a writer must not call back into the processor).
//
// Variables. Names and texts are byte strings (they may hold NUL bytes). A later Set of a name
// replaces the earlier value, whatever its kind: the environment is imported first, then the
// request parameters are set, then the page's own variables.
//
// Lists. A List variable refers to a RowList held by std::shared_ptr; every variable or row
// field set to the same pointer shows the same rows, and the processor keeps the list alive
// for as long as any of them refers to it, so the caller may drop its own pointer:
//
//     auto params = std::make_shared<RowList>();
//     VarMap& row = params->AddFront();          // rows are added at the front or the back
//     MapSetString(row, "ParamKey", name);
//     MapSetString(row, "ParamData", value);
//     processor.SetListVar("ParamVars", params);
//
// Rows may hold lists themselves (MapSetList); a begindetail inside a begindetail walks them.
// Rows should be complete before a List is processed: processing never changes a list.
class HtxProcessor {
  public:
    // Results of ProcessTemplate.
    static constexpr std::int32_t kProcessed = 0;
    static constexpr std::int32_t kCannotOpen = -1;
    static constexpr std::int32_t kNoMemory = -2;

    // With importEnvironment, the process environment as it is now becomes variables (below);
    // either way the List "EnvVars" is set (empty without the import).
    explicit HtxProcessor(bool importEnvironment);

    // As above, importing the given environment block (NULL-terminated, "NAME=value" entries)
    // instead of the process environment; its entries must outlive the processor. The import
    // takes the entries from the first, at most HtxEnvironment::kMaxEntries of them, and stops
    // at the first missing or empty one; it skips entries without "=" and always the
    // thirteenth entry (index 12). Each entry is a String variable (the name is the text before
    // the first "=", the value the rest; the last entry of a name wins) and a row {"EnvKey",
    // "EnvData"} of "EnvVars", which runs in reverse environment order. Nothing is copied
    // before a page looks a name up, so an unused environment costs nothing.
    HtxProcessor(bool importEnvironment, const char* const* environment);

    HtxProcessor(const HtxProcessor&) = delete;
    HtxProcessor& operator=(const HtxProcessor&) = delete;

    // Put a value under the name in the global variables.
    void SetIntVar(std::string_view name, std::int32_t value);
    void SetStringVar(std::string_view name, std::string text);
    void SetListVar(std::string_view name, std::shared_ptr<RowList> list);

    // Makes the name/value rows of a text list global String variables (the first row of a
    // name wins), as if each distinct name were set now with SetStringVar, without a map entry
    // for each: the environment, a request's form fields.
    void SetPairVars(std::shared_ptr<const RowList> pairs);

    // The global variable of that name, or null. Never sees begindetail rows or the settings.
    // The pointer is valid until the next Set of the same name.
    const HtxValue* FindVar(const std::string& name) const;

    // The variable of that name as a template sees it: the rows of the begindetail blocks being
    // processed, innermost first, then the global variables; null when undefined. Outside a
    // processing run this is FindVar.
    const HtxValue* LookUpVar(const std::string& name) const;

    // Processes the prototype file named (relative to the working directory): its text goes to
    // the writer, or to standard output (buffered by stdio) when none is given. Returns
    // kProcessed whatever the template holds (its problems appear inline in the output),
    // kCannotOpen when the file cannot be opened or read (or is not a regular file), kNoMemory
    // when the file does not fit in memory or memory runs out while processing (the output made
    // so far is delivered). Settings changed by the template stay for later runs.
    std::int32_t ProcessTemplate(const std::string& fileName, const HtxWriter& writer = {});

    // Processes a text held in memory exactly as ProcessTemplate processes a file's text;
    // include directives still read files. Returns kProcessed, or kNoMemory as above.
    std::int32_t ProcessTemplateText(std::string text, const HtxWriter& writer = {});

    // Prototype and include files are read through `files` from here on (the file system
    // directly when it is empty, as at first).
    void ReadFilesWith(HtxFileSource files) { files_ = std::move(files); }

    // The text as "<%#esc_html_tag name%>" writes a String holding it, for pages built
    // without a template.
    static std::string EscapeHtmlTags(std::string_view text);

  private:
    std::int32_t Process(std::shared_ptr<const std::string> text, const HtxWriter& writer);

    HtxVariables vars_;
    HtxFileSource files_;
};
