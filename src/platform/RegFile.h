// The registry's own text export format, as the registry files keep it:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\Software\Example]
//   @="default value"
//   "Name"="text with \"quotes\" and \\ backslashes"
//   "Count"=dword:0000001f
//   "Raw"=hex(1):41,0a,42,00
//
// Key paths and value names compare without regard to ASCII case, as the registry does.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct RegValue {
    enum class Type { Text, Dword };
    Type type = Type::Text;
    std::string text;
    uint32_t dword = 0;

    static RegValue Text(std::string t) { return RegValue{Type::Text, std::move(t), 0}; }
    static RegValue Dword(uint32_t d) { return RegValue{Type::Dword, {}, d}; }
};

// ASCII case-insensitive ordering for key paths and value names.
struct RegNameLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

using RegKey = std::map<std::string, RegValue, RegNameLess>;  // "" is the default value

// The keys of one file by full path ("HKEY_CLASSES_ROOT\Quar\Data").
class RegFile {
  public:
    // Parses the text of a file; lines it does not understand are skipped.
    static RegFile Parse(const std::string& text);
    // The file text; a text value holding a control byte is written in its hex(1) form.
    std::string Serialize() const;

    const RegKey* FindKey(const std::string& path) const;
    RegKey& CreateKey(const std::string& path);

  private:
    std::map<std::string, RegKey, RegNameLess> keys_;
};
