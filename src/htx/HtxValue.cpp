#include "htx/HtxValue.h"

#include <utility>

#include "htx/RowList.h"

HtxValue HtxValue::MakeInt(std::int32_t value) {
    HtxValue v;
    v.kind_ = HtxKind::Int;
    v.int_ = value;
    return v;
}

HtxValue HtxValue::MakeString(std::string text) {
    HtxValue v;
    v.kind_ = HtxKind::String;
    v.text_ = std::move(text);
    return v;
}

HtxValue HtxValue::MakeList(std::shared_ptr<RowList> list) {
    HtxValue v;
    v.kind_ = HtxKind::List;
    v.list_ = list ? std::move(list) : std::make_shared<RowList>();
    return v;
}
