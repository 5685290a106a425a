#include "htx/HtxProcessor.h"

#include <unistd.h>

#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "htx/HtxEscaping.h"
#include "htx/HtxFileText.h"
#include "htx/HtxOutput.h"
#include "htx/HtxReader.h"
#include "htx/HtxRun.h"

namespace {

// The import never takes this entry of the environment block, well-formed or not.
constexpr int kSkippedEnvironmentEntry = 12;

}  // namespace

HtxProcessor::HtxProcessor(bool importEnvironment) : HtxProcessor(importEnvironment, environ) {}

HtxProcessor::HtxProcessor(bool importEnvironment, const char* const* environment) {
    ImportEnvironment(importEnvironment ? environment : nullptr);
}

void HtxProcessor::ImportEnvironment(const char* const* environment) {
    if (!environment) {
        SetListVar("EnvVars", std::make_shared<RowList>());
        return;
    }
    // The rows and the variables share one text, as the form's do: every page pays for the
    // environment, and few of its variables are ever looked up.
    std::string texts;
    std::vector<std::uint32_t> ends;
    for (int i = 0; i < kMaxEnvironmentEntries; ++i) {
        const char* entry = environment[i];
        if (!entry || !*entry) {
            break;
        }
        const char* equals = std::strchr(entry, '=');
        if (i == kSkippedEnvironmentEntry || !equals) {
            continue;
        }
        const std::string_view name(entry, static_cast<std::size_t>(equals - entry));
        const std::string_view value(equals + 1);
        texts.append(name);
        ends.push_back(static_cast<std::uint32_t>(texts.size()));
        texts.append(value);
        ends.push_back(static_cast<std::uint32_t>(texts.size()));
    }
    // Rows added at the front: the list runs in reverse environment order, and the last entry
    // of a name is the one its variable holds.
    auto list = std::make_shared<RowList>(std::vector<std::string>{"EnvKey", "EnvData"},
                                          std::move(texts), std::move(ends), true);
    SetPairVars(list);
    SetListVar("EnvVars", std::move(list));
}

void HtxProcessor::SetIntVar(std::string_view name, std::int32_t value) {
    vars_.Global().Set(name, HtxValue::MakeInt(value));
}

void HtxProcessor::SetStringVar(std::string_view name, std::string text) {
    vars_.Global().Set(name, HtxValue::MakeString(std::move(text)));
}

void HtxProcessor::SetListVar(std::string_view name, std::shared_ptr<RowList> list) {
    vars_.Global().Set(name, HtxValue::MakeList(std::move(list)));
}

void HtxProcessor::SetPairVars(std::shared_ptr<const RowList> pairs) {
    vars_.AttachPairs(std::move(pairs));
}

const HtxValue* HtxProcessor::FindVar(const std::string& name) const {
    return vars_.Find(name);
}

const HtxValue* HtxProcessor::LookUpVar(const std::string& name) const {
    return vars_.LookUp(name);
}

std::string HtxProcessor::EscapeHtmlTags(std::string_view text) {
    std::string escaped;
    const HtxWriter append = [&](const char* piece, std::size_t length) {
        escaped.append(piece, length);
    };
    HtxOutput out(&append);
    WriteEscaped(out, text, HtxEscape::FullHtml);
    out.Flush();
    return escaped;
}

std::int32_t HtxProcessor::ProcessTemplate(const std::string& fileName, const HtxWriter& writer) {
    std::string text;
    switch (ReadFileText(fileName, text)) {
        case HtxFileStatus::Ok:
            return ProcessTemplateText(std::move(text), writer);
        case HtxFileStatus::NoMemory:
            return kNoMemory;
        case HtxFileStatus::CannotOpen:
        case HtxFileStatus::ReadFailed:
            break;
    }
    return kCannotOpen;
}

std::int32_t HtxProcessor::ProcessTemplateText(std::string text, const HtxWriter& writer) {
    HtxOutput out(&writer);
    std::int32_t result = kProcessed;
    try {
        HtxReader reader(std::make_shared<const std::string>(std::move(text)));
        HtxRun run(vars_, reader, out);
        run.ProcessMain();
    } catch (const std::bad_alloc&) {
        result = kNoMemory;
    }
    vars_.ClearRows();
    out.Flush();
    return result;
}
