#include "htx/HtxEnvironment.h"

#include <cstdint>
#include <cstring>
#include <utility>

HtxEnvironment::HtxEnvironment(const char* const* environment) {
    if (environment == nullptr) {
        return;
    }
    std::size_t count = 0;
    while (count < kMaxEntries && environment[count] != nullptr && *environment[count] != '\0') {
        ++count;
    }
    entries_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (i != kSkippedEntry) {
            entries_.push_back(environment[i]);
        }
    }
}

const char* HtxEnvironment::Scan(std::string_view name) const {
    // A name never holds "=": the entry's name ends at its first one.
    if (name.find('=') != std::string_view::npos) {
        return nullptr;
    }
    for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
        const char* text = *entry;
        std::size_t i = 0;
        while (i < name.size() && text[i] == name[i] && text[i] != '\0') {
            ++i;
        }
        if (i == name.size() && text[i] == '=') {
            return text;
        }
    }
    return nullptr;
}

const std::shared_ptr<RowList>& HtxEnvironment::List() const {
    if (list_ == nullptr) {
        std::string texts;
        std::vector<std::uint32_t> ends;
        for (const char* entry : entries_) {
            const char* equals = std::strchr(entry, '=');
            if (equals == nullptr) {
                continue;
            }
            texts.append(entry, static_cast<std::size_t>(equals - entry));
            ends.push_back(static_cast<std::uint32_t>(texts.size()));
            texts.append(equals + 1);
            ends.push_back(static_cast<std::uint32_t>(texts.size()));
        }
        // Rows added at the front: the list runs in reverse environment order.
        list_ = std::make_shared<RowList>(std::vector<std::string>{"EnvKey", "EnvData"},
                                          std::move(texts), std::move(ends), true);
    }
    return list_;
}

const HtxValue* HtxEnvironment::Find(std::string_view name) const {
    if (name == kListName) {
        if (listValue_ == nullptr) {
            listValue_ = std::make_unique<HtxValue>(HtxValue::MakeList(List()));
        }
        return listValue_.get();
    }
    if (index_ == nullptr && ++scans_ > kScansBeforeIndex && !List()->empty()) {
        index_ = std::make_unique<HtxPairVariables>(List());
    }
    if (index_ != nullptr) {
        return index_->Find(name);
    }
    const char* entry = Scan(name);
    if (entry == nullptr) {
        return nullptr;
    }
    std::string key(name);
    auto found = values_.find(key);
    if (found == values_.end()) {
        found =
            values_.emplace(std::move(key), HtxValue::MakeString(entry + name.size() + 1)).first;
    }
    return &found->second;
}
