// The variable state of a template processor: the global map, the rows of the active
// begindetail blocks, the environment, and the three settings that templates read and write by
// name.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "htx/HtxEnvironment.h"
#include "htx/HtxPairVariables.h"
#include "htx/VarMap.h"

class HtxVariables {
  public:
    // The variables of the environment block (see HtxEnvironment; null: none, and an empty
    // "EnvVars") lie beneath every other variable: any Set or attached pair of a name hides it.
    explicit HtxVariables(const char* const* environment) : environment_(environment) {}

    VarMap& Global() { return global_; }
    const VarMap& Global() const { return global_; }

    // The global variable of that name, or null: the global map, then the pair variables,
    // the latest attached first, then the environment.
    const HtxValue* Find(std::string_view name) const;

    // Adds the variables of a text list of name/value rows (see HtxPairVariables) as if each
    // distinct name had been set now: they replace global variables and earlier pairs of the
    // same names, and later sets replace them.
    void AttachPairs(std::shared_ptr<const RowList> pairs);

    // The value found through the scope: the rows of the active begindetail blocks, innermost
    // first, then the global map; null when none holds the name. Never adds entries anywhere.
    const HtxValue* LookUp(std::string_view name) const;

    // The setting "#debug_level", "#str_esc_mode" or "#trim_space" named, or null for any other
    // name. Settings are not variables: Find and LookUp never see them.
    std::int32_t* Setting(std::string_view name);

    std::int32_t DebugLevel() const { return debugLevel_; }
    std::int32_t StrEscMode() const { return strEscMode_; }
    std::int32_t TrimSpace() const { return trimSpace_; }

    // Begindetail rows. The row must outlive its time on the stack.
    void PushRow(const VarMap& row) { rows_.push_back(&row); }
    void PopRow() { rows_.pop_back(); }
    void ClearRows() { rows_.clear(); }

  private:
    VarMap global_;
    // Looked up, last first, when global_ has no entry.
    std::vector<std::unique_ptr<HtxPairVariables>> pairs_;
    HtxEnvironment environment_;
    std::vector<const VarMap*> rows_;  // innermost last
    std::int32_t debugLevel_ = 0;
    std::int32_t strEscMode_ = 0;
    std::int32_t trimSpace_ = 0;
};

// Keeps one begindetail row on the scope stack for the life of the object.
class HtxScopedRow {
  public:
    HtxScopedRow(HtxVariables& vars, const VarMap& row) : vars_(vars) { vars_.PushRow(row); }
    ~HtxScopedRow() { vars_.PopRow(); }
    HtxScopedRow(const HtxScopedRow&) = delete;
    HtxScopedRow& operator=(const HtxScopedRow&) = delete;

  private:
    HtxVariables& vars_;
};
