#include "platform/RegFile.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

bool RegNameLess::operator()(const std::string& a, const std::string& b) const {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) {
            return ca < cb;
        }
    }
    return a.size() < b.size();
}

namespace {

// Reads a quoted text starting at line[pos] == '"'; leaves pos after the closing quote.
bool ReadQuoted(const std::string& line, std::size_t& pos, std::string& out) {
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '\\' && pos + 1 < line.size()) {
            out += line[++pos];
        } else if (c == '"') {
            ++pos;
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

bool ParseHexText(const std::string& data, std::string& out) {
    out.clear();
    std::size_t pos = 0;
    while (pos < data.size()) {
        char* end = nullptr;
        const unsigned long byte = std::strtoul(data.c_str() + pos, &end, 16);
        if (end == data.c_str() + pos || byte > 0xFF) {
            return false;
        }
        out += static_cast<char>(byte);
        pos = static_cast<std::size_t>(end - data.c_str());
        if (pos < data.size() && data[pos] == ',') {
            ++pos;
        }
    }
    // The stored form ends with its terminating NUL.
    if (!out.empty() && out.back() == '\0') {
        out.pop_back();
    }
    return true;
}

bool ParseValue(const std::string& data, RegValue& value) {
    if (!data.empty() && data[0] == '"') {
        std::size_t pos = 0;
        std::string text;
        if (!ReadQuoted(data, pos, text)) {
            return false;
        }
        value = RegValue::Text(std::move(text));
        return true;
    }
    if (data.compare(0, 6, "dword:") == 0) {
        char* end = nullptr;
        const unsigned long n = std::strtoul(data.c_str() + 6, &end, 16);
        if (end == data.c_str() + 6) {
            return false;
        }
        value = RegValue::Dword(static_cast<uint32_t>(n));
        return true;
    }
    if (data.compare(0, 7, "hex(1):") == 0) {
        std::string text;
        if (!ParseHexText(data.substr(7), text)) {
            return false;
        }
        value = RegValue::Text(std::move(text));
        return true;
    }
    return false;
}

bool NeedsHexForm(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

void WriteValue(std::string& out, const RegValue& value) {
    if (value.type == RegValue::Type::Dword) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(value.dword));
        out += buf;
        return;
    }
    if (NeedsHexForm(value.text)) {
        out += "hex(1):";
        char buf[4];
        for (unsigned char c : value.text) {
            std::snprintf(buf, sizeof buf, "%02x,", c);
            out += buf;
        }
        out += "00";
        return;
    }
    out += '"';
    for (char c : value.text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
}

}  // namespace

bool RegFile::UsableKeyPath(const std::string& path) {
    for (const unsigned char c : path) {
        if (c < 0x20 || c == 0x7F || c == '[' || c == ']') {
            return false;
        }
    }
    return true;
}

bool RegFile::UsableValueName(const std::string& name) {
    for (const unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

RegFile RegFile::Parse(const std::string& text) {
    RegFile file;
    RegKey* current = nullptr;
    std::vector<KeptLine>* kept = nullptr;
    std::string line;
    // Lines are split by hand: a string stream would set up the stream library's locale, a
    // large part of a program's start-up for a file of a few lines.
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        line.assign(text, start, end - start);
        start = end + 1;
        // Every CR before the line end goes: a kept line written back with one would read
        // differently the next time.
        while (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        if (line[0] == ';') {
            if (kept != nullptr) {
                kept->push_back({"", line});
            } else if (file.keys_.empty()) {
                file.preamble_.push_back(line);
            }
            continue;
        }
        if (line[0] == '[') {
            const std::size_t close = line.rfind(']');
            current = nullptr;
            kept = nullptr;
            if (close != std::string::npos) {
                const std::string path = line.substr(1, close - 1);
                current = &file.CreateKey(path);
                kept = &file.kept_[path];
            }
            continue;
        }
        if (current == nullptr) {
            continue;
        }
        std::string name;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (line[0] == '"') {
            if (!ReadQuoted(line, pos, name)) {
                kept->push_back({"", line});
                continue;
            }
        } else {
            kept->push_back({"", line});
            continue;
        }
        RegValue value;
        if (pos < line.size() && line[pos] == '=' && ParseValue(line.substr(pos + 1), value)) {
            (*current)[name] = std::move(value);
        } else {
            // A value of a type this file does not read (hex:, hex(2):, ...) stays as it is.
            kept->push_back({name, line});
        }
    }
    return file;
}

std::string RegFile::Serialize() const {
    // Appended by hand: a string stream would bring in the stream library's locale, data that
    // every program start relocates.
    std::string out = "REGEDIT4\n";
    for (const std::string& line : preamble_) {
        out += line;
        out += '\n';
    }
    for (const auto& [path, key] : keys_) {
        out += "\n[";
        out += path;
        out += "]\n";
        const auto kept = kept_.find(path);
        if (kept != kept_.end()) {
            for (const KeptLine& line : kept->second) {
                if (line.name.empty() || key.find(line.name) == key.end()) {
                    out += line.line;
                    out += '\n';
                }
            }
        }
        for (const auto& [name, value] : key) {
            if (name.empty()) {
                out += '@';
            } else {
                out += '"';
                for (char c : name) {
                    if (c == '"' || c == '\\') {
                        out += '\\';
                    }
                    out += c;
                }
                out += '"';
            }
            out += '=';
            WriteValue(out, value);
            out += '\n';
        }
    }
    return out;
}

const RegKey* RegFile::FindKey(const std::string& path) const {
    const auto it = keys_.find(path);
    return it == keys_.end() ? nullptr : &it->second;
}

RegKey& RegFile::CreateKey(const std::string& path) {
    return keys_[path];
}
