#include "htx/HtxVariables.h"

#include <string>
#include <utility>
#include <vector>

const HtxValue* HtxVariables::Find(std::string_view name) const {
    if (const HtxValue* value = global_.Find(name)) {
        return value;
    }
    for (auto pairs = pairs_.rbegin(); pairs != pairs_.rend(); ++pairs) {
        if (const HtxValue* value = (*pairs)->Find(name)) {
            return value;
        }
    }
    return environment_.Find(name);
}

void HtxVariables::AttachPairs(std::shared_ptr<const RowList> pairs) {
    const HtxPairVariables& added =
        *pairs_.emplace_back(std::make_unique<HtxPairVariables>(std::move(pairs)));
    // A global variable set before would hide the pair of its name: it takes the pair's value.
    // The global map is small here (the page has not started), the pairs may be a million.
    std::vector<std::pair<std::string, HtxValue>> hidden;
    global_.ForEach([&](const std::string& name, const HtxValue&) {
        if (const HtxValue* value = added.Find(name)) {
            hidden.emplace_back(name, *value);
        }
    });
    for (auto& [name, value] : hidden) {
        global_.Set(name, std::move(value));
    }
}

const HtxValue* HtxVariables::LookUp(std::string_view name) const {
    for (auto row = rows_.rbegin(); row != rows_.rend(); ++row) {
        if (const HtxValue* value = (*row)->Find(name)) {
            return value;
        }
    }
    return Find(name);
}

std::int32_t* HtxVariables::Setting(std::string_view name) {
    if (name == "#debug_level") {
        return &debugLevel_;
    }
    if (name == "#str_esc_mode") {
        return &strEscMode_;
    }
    if (name == "#trim_space") {
        return &trimSpace_;
    }
    return nullptr;
}
