#include "htx/HtxValue.h"

#include <utility>

#include "htx/RowList.h"

HtxValue HtxValue::MakeInt(std::int32_t value) {
    return HtxValue(Data(std::in_place_index<0>, value));
}

HtxValue HtxValue::MakeString(std::string text) {
    return HtxValue(Data(std::in_place_index<1>, std::move(text)));
}

HtxValue HtxValue::MakeList(std::shared_ptr<RowList> list) {
    return HtxValue(
        Data(std::in_place_index<2>, list ? std::move(list) : std::make_shared<RowList>()));
}

std::int32_t HtxValue::AsInt() const {
    const std::int32_t* number = std::get_if<std::int32_t>(&data_);
    return number ? *number : -1;
}

const std::shared_ptr<RowList>& HtxValue::AsList() const {
    static const std::shared_ptr<RowList> kNoList;
    const std::shared_ptr<RowList>* list = std::get_if<std::shared_ptr<RowList>>(&data_);
    return list ? *list : kNoList;
}
