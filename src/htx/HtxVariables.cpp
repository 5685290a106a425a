#include "htx/HtxVariables.h"

const HtxValue* HtxVariables::LookUp(std::string_view name) const {
    for (auto row = rows_.rbegin(); row != rows_.rend(); ++row) {
        if (const HtxValue* value = (*row)->Find(name)) {
            return value;
        }
    }
    return global_.Find(name);
}

std::int32_t* HtxVariables::Setting(std::string_view name) {
    if (name == "#debug_level") {
        return &debug_level_;
    }
    if (name == "#str_esc_mode") {
        return &str_esc_mode_;
    }
    if (name == "#trim_space") {
        return &trim_space_;
    }
    return nullptr;
}
