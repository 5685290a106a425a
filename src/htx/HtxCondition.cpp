#include "htx/HtxCondition.h"

#include <limits>

#include "platform/Decimal.h"

bool IsNumeric(std::string_view text) {
    if (!text.empty() && text.front() == '-') {
        text.remove_prefix(1);
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

std::int32_t ParseDecimal(std::string_view text) {
    return static_cast<std::int32_t>(LeadingDecimal(text, std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max()));
}

std::string UpperCase(std::string_view token) {
    std::string upper(token);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

std::optional<HtxOperator> SelectOperator(std::string_view token) {
    static constexpr std::string_view kNames = "EQ GT LT CONTAINS NE GE LE = !=";
    switch (kNames.find(UpperCase(token))) {
        case 0:
        case 27:
            return HtxOperator::Eq;
        case 3:
            return HtxOperator::Gt;
        case 6:
            return HtxOperator::Lt;
        case 9:
            return HtxOperator::Contains;
        case 18:
        case 29:
            return HtxOperator::Ne;
        case 21:
            return HtxOperator::Ge;
        case 24:
            return HtxOperator::Le;
        default:
            return std::nullopt;
    }
}

namespace {

int CompareTexts(std::string_view first, std::string_view second) {
    // std::string_view compares through char_traits<char>, which orders bytes as unsigned.
    const int order = first.compare(second);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int CompareOperands(std::string_view first, std::string_view second) {
    if (IsNumeric(first) && IsNumeric(second)) {
        const std::int32_t a = ParseDecimal(first);
        const std::int32_t b = ParseDecimal(second);
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    return CompareTexts(first, second);
}

}  // namespace

bool EvaluateCondition(std::string_view first, HtxOperator op, std::string_view second) {
    if (op == HtxOperator::Contains) {
        return first.find(second) != std::string_view::npos;
    }
    const int order = CompareOperands(first, second);
    switch (op) {
        case HtxOperator::Eq:
            return order == 0;
        case HtxOperator::Ne:
            return order != 0;
        case HtxOperator::Gt:
            return order > 0;
        case HtxOperator::Lt:
            return order < 0;
        case HtxOperator::Ge:
            return order >= 0;
        case HtxOperator::Le:
            return order <= 0;
        case HtxOperator::Contains:
            break;
    }
    return false;
}
