// The registry file's parser and writer: any text parses; what is written parses again to the
// same keys and values; and keys and values made through the API with any bytes (a line end in
// a key path or value name aside) survive writing and parsing.
//
// Input: the file text. The same bytes cut at each 0x01 are also taken as key path, value name
// and value, three at a time; a value that starts with "D" is a number made of its next bytes.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/RegFile.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

bool Same(const RegValue& a, const RegValue& b) {
    return a.type == b.type &&
           (a.type == RegValue::Type::Dword ? a.dword == b.dword : a.text == b.text);
}

void ParseWriteParse(const std::string& text) {
    const std::string first = RegFile::Parse(text).Serialize();
    const std::string second = RegFile::Parse(first).Serialize();
    Check(first == second, "written text parses to the same keys and values");
}

void MadeThroughApi(const std::string& text) {
    std::vector<std::string> fields(1);
    for (char c : text) {
        if (c == '\x01') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    struct Entry {
        std::string path, name;
    };
    RegFile made;
    std::vector<Entry> entries;
    for (size_t i = 0; i + 2 < fields.size(); i += 3) {
        const std::string& path = fields[i];
        const std::string& name = fields[i + 1];
        const std::string& data = fields[i + 2];
        if (path.find('\n') != std::string::npos || name.find('\n') != std::string::npos) {
            continue;
        }
        RegValue value = RegValue::Text(data);
        if (!data.empty() && data[0] == 'D') {
            uint32_t n = 0;
            memcpy(&n, data.data() + 1, data.size() - 1 < 4 ? data.size() - 1 : 4);
            value = RegValue::Dword(n);
        }
        made.CreateKey(path)[name] = value;
        entries.push_back({path, name});
    }
    const RegFile back = RegFile::Parse(made.Serialize());
    for (const Entry& e : entries) {
        const RegKey* want = made.FindKey(e.path);
        const RegKey* got = back.FindKey(e.path);
        Check(want != nullptr && got != nullptr, "every key comes back");
        const auto wantValue = want->find(e.name);
        const auto gotValue = got->find(e.name);
        Check(gotValue != got->end(), "every value comes back");
        Check(Same(wantValue->second, gotValue->second), "every value keeps its type and data");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ParseWriteParse(text);
    MadeThroughApi(text);
    return 0;
}
