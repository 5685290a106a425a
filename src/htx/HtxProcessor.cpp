#include "htx/HtxProcessor.h"

#include <unistd.h>

#include <new>
#include <utility>

#include "htx/HtxEscaping.h"
#include "htx/HtxFileText.h"
#include "htx/HtxOutput.h"
#include "htx/HtxReader.h"
#include "htx/HtxRun.h"

HtxProcessor::HtxProcessor(bool importEnvironment) : HtxProcessor(importEnvironment, environ) {}

HtxProcessor::HtxProcessor(bool importEnvironment, const char* const* environment)
    : vars_(importEnvironment ? environment : nullptr) {}

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
    std::shared_ptr<const std::string> text;
    switch (ReadFileText(files_, fileName, text)) {
        case HtxFileStatus::Ok:
            return Process(std::move(text), writer);
        case HtxFileStatus::NoMemory:
            return kNoMemory;
        case HtxFileStatus::CannotOpen:
        case HtxFileStatus::ReadFailed:
            break;
    }
    return kCannotOpen;
}

std::int32_t HtxProcessor::ProcessTemplateText(std::string text, const HtxWriter& writer) {
    try {
        return Process(std::make_shared<const std::string>(std::move(text)), writer);
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
}

std::int32_t HtxProcessor::Process(std::shared_ptr<const std::string> text,
                                   const HtxWriter& writer) {
    HtxOutput out(&writer);
    std::int32_t result = kProcessed;
    try {
        HtxReader reader(std::move(text));
        HtxRun run(vars_, reader, out, files_);
        run.ProcessMain();
    } catch (const std::bad_alloc&) {
        result = kNoMemory;
    }
    vars_.ClearRows();
    out.Flush();
    return result;
}
