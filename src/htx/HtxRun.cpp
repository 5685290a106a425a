#include "htx/HtxRun.h"

#include <memory>
#include <string_view>
#include <utility>

#include "htx/HtxCondition.h"
#include "htx/HtxEscaping.h"
#include "htx/HtxFileText.h"
#include "htx/HtxTable.h"
#include "htx/RowList.h"

// Directive names are compared as views: a length that differs ends the comparison at once.
using namespace std::string_view_literals;

namespace {

// Keeps the nesting count up for the life of the object.
class NestingLevel {
  public:
    explicit NestingLevel(int& depth) : depth_(depth) { ++depth_; }
    ~NestingLevel() { --depth_; }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;

  private:
    int& depth_;
};

}  // namespace

HtxRun::BlockEnd HtxRun::ProcessBlock(BlockKind kind) {
    for (;;) {
        if (!reader_.CopyLiteral(&out_, vars_.TrimSpace() != 0)) {
            return BlockEnd::Input;
        }
        const HtxToken command = reader_.ReadToken();
        if (kind == BlockKind::Branch && (command.text == "else"sv || command.text == "endif"sv)) {
            reader_.SkipToDirectiveEnd();
            return command.text == "else"sv ? BlockEnd::Else : BlockEnd::Endif;
        }
        RunDirective(command.text);
    }
}

void HtxRun::RunDirective(const std::string& command) {
    if (command == "if"sv) {
        RunIf();
    } else if (command == "begindetail"sv) {
        RunDetail();
    } else if (command == "include"sv) {
        RunInclude();
    } else if (command == "#set"sv) {
        RunSet();
    } else if (command == "#esc_html"sv || command == "#esc_html_tag"sv ||
               command == "#esc_script"sv) {
        RunEscaped(command);
    } else if (command == "else"sv || command == "endif"sv || command == "enddetail"sv) {
        ReportUnexpected(command);
    } else {
        RunReference(command);
    }
}

void HtxRun::ReportUnexpected(const std::string& command) {
    if (Debugging()) {
        out_.Write("<br>\n**** Unexpected command: ");
        out_.Write(command);
        out_.Write("<br>\n");
    }
    reader_.SkipToDirectiveEnd();
}

std::optional<std::string> HtxRun::ResolveOperand(const HtxToken& token) const {
    if (token.quote == HtxQuote::Double ||
        (token.quote == HtxQuote::None && IsNumeric(token.text))) {
        return token.text;
    }
    const HtxValue* value = vars_.LookUp(token.text);
    if (!value) {
        return std::nullopt;
    }
    switch (value->Kind()) {
        case HtxKind::Int:
            return std::to_string(value->AsInt());
        case HtxKind::String:
            return *value->AsText();
        case HtxKind::List:
            break;
    }
    return std::nullopt;
}

void HtxRun::RunIf() {
    if (depth_ >= kMaxNestingDepth) {
        Skip(Closer::Endif, false);
        return;
    }
    const HtxToken firstToken = reader_.ReadToken();
    std::optional<std::string> first = ResolveOperand(firstToken);
    if (!first) {
        if (Debugging()) {
            out_.Write("**** Invalid or undefined first operand in 'if' expression: ");
            out_.Write(firstToken.text);
            Skip(Closer::Endif, false);
            return;
        }
        first.emplace();
    }
    const HtxToken operatorToken = reader_.ReadToken();
    const HtxToken secondToken = reader_.ReadToken();
    std::optional<std::string> second = ResolveOperand(secondToken);
    if (!second) {
        if (Debugging()) {
            out_.Write("**** Invalid or undefined second operand in 'if' expression: ");
            out_.Write(secondToken.text);
            Skip(Closer::Endif, false);
            return;
        }
        second.emplace();
    }
    std::optional<HtxOperator> op;
    if (operatorToken.quote == HtxQuote::None) {
        op = SelectOperator(operatorToken.text);
    }
    if (!op) {
        out_.Write("**** Invalid opcode in if expression: ");
        out_.Write(UpperCase(operatorToken.text));
        Skip(Closer::Endif, false);
        return;
    }
    const bool condition = EvaluateCondition(*first, *op, *second);
    reader_.SkipToDirectiveEnd();
    RunBranches(condition);
}

void HtxRun::RunBranches(bool condition) {
    NestingLevel level(depth_);
    if (!condition && Skip(Closer::Endif, true) != Closer::Else) {
        return;
    }
    // Here the branch to run starts: the true one, or the false one after its else. A further
    // else ends it like the else of a true branch.
    if (ProcessBlock(BlockKind::Branch) == BlockEnd::Else) {
        Skip(Closer::Endif, false);
    }
}

HtxRun::Closer HtxRun::Skip(Closer wanted, bool elseCloses) {
    // Closers expected by the nested blocks met so far, innermost last.
    std::vector<Closer> nested;
    while (reader_.CopyLiteral(nullptr, false)) {
        const std::string command = reader_.ReadToken().text;
        if (command == "if"sv) {
            nested.push_back(Closer::Endif);
        } else if (command == "begindetail"sv) {
            nested.push_back(Closer::Enddetail);
        } else if (!nested.empty()) {
            if ((nested.back() == Closer::Endif && command == "endif"sv) ||
                (nested.back() == Closer::Enddetail && command == "enddetail"sv)) {
                nested.pop_back();
            }
        } else {
            Closer found = Closer::None;
            if (command == "endif"sv) {
                found = Closer::Endif;
            } else if (command == "enddetail"sv) {
                found = Closer::Enddetail;
            } else if (command == "else"sv && elseCloses) {
                found = Closer::Else;
            }
            if (found == wanted || found == Closer::Else) {
                reader_.SkipToDirectiveEnd();
                return found;
            }
        }
    }
    return Closer::None;
}

void HtxRun::RunDetail() {
    const HtxToken name = reader_.ReadToken();
    if (name.end != '>') {
        reader_.SkipToDirectiveEnd();
    }
    const HtxMark bodyStart = reader_.Here();
    std::size_t bodyEnd = bodyStart.limit;
    if (Skip(Closer::Enddetail, false) == Closer::Enddetail) {
        // Skipping only ever leaves texts, so the same depth means the same text. An enddetail
        // found in an including text cuts the body at the end of its own text.
        const HtxPlace& closer = reader_.DirectiveStart();
        if (closer.depth == bodyStart.depth && closer.text == bodyStart.text.get()) {
            bodyEnd = closer.pos;
        }
    }
    if (depth_ >= kMaxNestingDepth) {
        return;
    }
    const HtxValue* value = vars_.LookUp(name.text);
    if (!value) {
        if (Debugging()) {
            out_.Write("**** Undefined variale in 'begindetail' : ");
            out_.Write(name.text);
        }
        return;
    }
    if (value->Kind() != HtxKind::List) {
        if (Debugging()) {
            out_.Write("**** Invalid operand type in 'begindetail'. Type = ");
            out_.WriteDecimal(static_cast<std::int32_t>(value->Kind()));
        }
        return;
    }
    // Holding the list keeps its rows alive even if the body assigns over the variable.
    const std::shared_ptr<RowList> list = value->AsList();
    NestingLevel level(depth_);
    VarMap scratch;
    for (std::size_t i = 0; i < list->size(); ++i) {
        HtxScopedRow row(vars_, list->Row(i, scratch));
        HtxReader::DetailPass pass(reader_, bodyStart, bodyEnd);
        ProcessBlock(BlockKind::Plain);
    }
}

void HtxRun::RunInclude() {
    const HtxToken name = reader_.ReadToken();
    reader_.SkipToDirectiveEnd();
    std::shared_ptr<const std::string> text;
    if (!reader_.CanInclude() ||
        ReadFileText(files_, name.text, text) == HtxFileStatus::CannotOpen) {
        out_.Write("**** Can't open include file: ");
        out_.Write(name.text);
        return;
    }
    // An empty file, a failed read or a lack of memory inserts nothing.
    if (text && !text->empty()) {
        reader_.Include(std::move(text));
    }
}

void HtxRun::RunSet() {
    const HtxToken target = reader_.ReadToken();
    const HtxToken source = reader_.ReadToken();
    std::optional<HtxValue> value;
    if (source.quote != HtxQuote::None) {
        value = HtxValue::MakeString(source.text);
    } else if (const std::int32_t* setting = vars_.Setting(source.text)) {
        value = HtxValue::MakeInt(*setting);
    } else if (const HtxValue* found = vars_.LookUp(source.text)) {
        value = *found;
    } else {
        value = HtxValue::MakeString(source.text);
    }

    if (std::int32_t* setting = vars_.Setting(target.text)) {
        switch (value->Kind()) {
            case HtxKind::Int:
                *setting = value->AsInt();
                break;
            case HtxKind::String:
                *setting = ParseDecimal(*value->AsText());
                break;
            case HtxKind::List:
                *setting = 0;
                break;
        }
    } else if (!target.text.empty()) {
        vars_.Global().Set(target.text, std::move(*value));
    }
    reader_.SkipToDirectiveEnd();
}

void HtxRun::RunReference(const std::string& name) {
    if (const std::int32_t* setting = vars_.Setting(name)) {
        out_.WriteDecimal(*setting);
    } else if (const HtxValue* value = vars_.LookUp(name)) {
        switch (value->Kind()) {
            case HtxKind::Int:
                out_.WriteDecimal(value->AsInt());
                break;
            case HtxKind::String:
                WriteEscaped(out_, *value->AsText(), EscapeForMode(vars_.StrEscMode()));
                break;
            case HtxKind::List:
                WriteTable(out_, *value->AsList());
                break;
        }
    } else if (Debugging()) {
        out_.Write("******Invalid Variable---");
        out_.Write(name);
        out_.Write("*****");
    }
    reader_.SkipToDirectiveEnd();
}

void HtxRun::RunEscaped(const std::string& command) {
    const HtxEscape escape = command == "#esc_html"sv       ? HtxEscape::Html
                             : command == "#esc_html_tag"sv ? HtxEscape::FullHtml
                                                            : HtxEscape::Script;
    const HtxToken name = reader_.ReadToken();
    if (const HtxValue* value = vars_.LookUp(name.text)) {
        switch (value->Kind()) {
            case HtxKind::Int:
                out_.WriteDecimal(value->AsInt());
                break;
            case HtxKind::String:
                WriteEscaped(out_, *value->AsText(), escape);
                break;
            case HtxKind::List:
                if (Debugging()) {
                    out_.Write("***Invalid type of variable ");
                    out_.Write(name.text);
                    out_.Write(", type = ");
                    out_.WriteDecimal(static_cast<std::int32_t>(HtxKind::List));
                }
                break;
        }
    } else if (Debugging()) {
        out_.Write("******Invalid Variable---");
        out_.Write(name.text);
        out_.Write("*****");
    }
    reader_.SkipToDirectiveEnd();
}
