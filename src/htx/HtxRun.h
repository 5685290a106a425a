// One processing run of a template text: the directives and their effects.
#pragma once

#include <optional>
#include <string>

#include "htx/HtxFileText.h"
#include "htx/HtxOutput.h"
#include "htx/HtxReader.h"
#include "htx/HtxVariables.h"

class HtxRun {
  public:
    // If and begindetail blocks nested deeper than this inside one another are not run: such an if
    // is passed over up to its endif as if false without else, such a detail block as if its list
    // had no rows. It keeps the processor's own recursion bounded whatever the template holds.
    static constexpr int kMaxNestingDepth = 200;

    // Include files are read through `files` (see ReadFileText).
    HtxRun(HtxVariables& vars, HtxReader& reader, HtxOutput& out, const HtxFileSource& files)
        : vars_(vars), reader_(reader), out_(out), files_(files) {}

    // Processes the whole text as the main block.
    void ProcessMain() { ProcessBlock(BlockKind::Plain); }

  private:
    // A plain block (the main text, a detail body) treats else, endif and enddetail as
    // unexpected; an if branch ends at else or endif.
    enum class BlockKind { Plain, Branch };
    enum class BlockEnd { Input, Else, Endif };
    enum class Closer { None, Else, Endif, Enddetail };

    BlockEnd ProcessBlock(BlockKind kind);
    void RunDirective(const std::string& command);

    void RunIf();
    void RunBranches(bool condition);
    void RunDetail();
    void RunInclude();
    void RunSet();
    void RunReference(const std::string& name);
    void RunEscaped(const std::string& command);
    void ReportUnexpected(const std::string& command);

    // Passes over text up to the directive that closes it: wanted at this level (and else too
    // when else_closes), nested if and begindetail blocks skipped whole. That directive is
    // consumed to its ">". Gives Closer::None at the end of input.
    Closer Skip(Closer wanted, bool elseCloses);

    // The text of an if operand, or nothing when it names a List or nothing.
    std::optional<std::string> ResolveOperand(const HtxToken& token) const;

    bool Debugging() const { return vars_.DebugLevel() != 0; }

    HtxVariables& vars_;
    HtxReader& reader_;
    HtxOutput& out_;
    const HtxFileSource& files_;
    int depth_ = 0;  // if branches and detail passes now running inside one another
};
