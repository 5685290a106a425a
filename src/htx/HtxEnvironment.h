// The process environment as template variables, read where it lies: a page that looks up no
// environment name pays for none of it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "htx/HtxPairVariables.h"
#include "htx/HtxValue.h"
#include "htx/RowList.h"

// The entries imported are fixed when the object is made: from the first, at most kMaxEntries
// of them, up to the first missing or empty one, never the one at kSkippedEntry; an entry
// without "=" is neither a variable nor a row. Only the entry pointers are kept: the entries
// themselves must outlive this object (the process environment does; a FastCGI request's
// parameters do for the request). A name's value is made when it is first looked up, and the
// list "EnvVars" when it is first looked up.
class HtxEnvironment {
  public:
    static constexpr std::size_t kMaxEntries = 120;
    static constexpr std::size_t kSkippedEntry = 12;
    static constexpr const char* kListName = "EnvVars";

    // A null block gives no variables and an empty "EnvVars".
    explicit HtxEnvironment(const char* const* environment);

    // The String of the last imported entry of that name ("NAME=value": the name is the text
    // before the first "="), the List "EnvVars" (rows {"EnvKey", "EnvData"}, last entry
    // first), or null. The value stays at its address for the life of this object.
    const HtxValue* Find(std::string_view name) const;

  private:
    // Names looked up one by one along the entries before an index of them is built: pages
    // look up a few, a template looping over many rows may look up one per row.
    static constexpr std::size_t kScansBeforeIndex = 16;

    // The entry that holds the value of the name, or null.
    const char* Scan(std::string_view name) const;
    const std::shared_ptr<RowList>& List() const;

    std::vector<const char*> entries_;
    mutable std::size_t scans_ = 0;
    mutable std::unordered_map<std::string, HtxValue> values_;
    mutable std::shared_ptr<RowList> list_;
    mutable std::unique_ptr<HtxValue> listValue_;
    mutable std::unique_ptr<HtxPairVariables> index_;
};
