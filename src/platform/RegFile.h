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
#include <vector>

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
    // Parses the text of a file. Lines it does not understand (comments, values of other types
    // such as hex:) are kept as they are and written back with their key.
    static RegFile Parse(const std::string& text);
    // The file text; a text value holding a control byte is written in its hex(1) form. A kept
    // line of a value set since is left out.
    std::string Serialize() const;

    // Whether a key path can be written as one line of its own: no control byte, no "[" or "]".
    static bool UsableKeyPath(const std::string& path);
    // Whether a value name can be written within its quotes: no control byte.
    static bool UsableValueName(const std::string& name);

    const RegKey* FindKey(const std::string& path) const;
    RegKey& CreateKey(const std::string& path);

  private:
    // A line kept as it came, with the value name it sets ("" for a comment).
    struct KeptLine {
        std::string name;
        std::string line;
    };

    std::map<std::string, RegKey, RegNameLess> keys_;
    std::map<std::string, std::vector<KeptLine>, RegNameLess> kept_;
    std::vector<std::string> preamble_;  // comment lines before the first key
};
