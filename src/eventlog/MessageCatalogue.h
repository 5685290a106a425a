// The message catalogue: message code to message text and category, read from the plain text
// file "quar_nbx_mess.def" so that wording can change without rebuilding the programs.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One message of the catalogue. The text may hold the field markers of EventRecord::DisplayText.
struct MessageEntry {
    std::string_view text;  // into the catalogue's copy of its file, shared by its copies
    int category = -1;      // 0 to 7, or -1 for none
};

// Owned by the application object, loaded once per request and then only read. Not thread-safe
// for loading; lookups on a loaded catalogue may run concurrently.
class Env;

class MessageCatalogue {
  public:
    static constexpr const char* kFileName = "quar_nbx_mess.def";
    // Titles kept from "=CATEGORY" lines; further categories still count but have no name.
    static constexpr int kMaxCategories = 8;

    // Loads the catalogue file at `path` (the working directory's kFileName by default),
    // read through `env` (ReadSharedFile).
    // Returns the empty text when the file was read, otherwise the warning for the caller's
    // `Warning`, naming `path`:
    //   "No message description file (<path>)."                missing file
    //   "Invalid message description file (<path>)."           empty file
    //   "Error read message description file <path>, error <errno> (<text>)"  unreadable
    // A failed load leaves the catalogue as it was. The loader itself reports nothing.
    std::string Load(Env& env, const std::string& path = kFileName);

    // Replaces codes and category titles with those of `content`, the text of a catalogue file.
    // Lines end with LF or CR LF and are trimmed; blank lines and lines starting with '#' are
    // skipped; "=CATEGORY <title>" starts the next category; any other line is "<code> <text>",
    // code and text separated by spaces or tabs. A repeated code keeps the later text.
    void Parse(std::string_view content);

    // The entry of exactly `code` (case-sensitive), or null when the catalogue has none.
    // The pointer stays valid until the next Load or Parse.
    const MessageEntry* Find(std::string_view code) const;

    // Category of `code`, -1 when it has no entry or no category.
    int CategoryOf(std::string_view code) const;

    // Category titles in file order, at most kMaxCategories; category n is the n-th title.
    const std::vector<std::string>& CategoryNames() const { return categoryNames_; }

  private:
    // Parse, sharing `text` itself.
    void Adopt(std::shared_ptr<const std::string> text);

    struct Coded {
        std::string_view code;
        MessageEntry entry;
    };

    std::shared_ptr<const std::string> content_;  // the text that codes and entries view
    std::vector<Coded> entries_;                  // sorted by code, one per code
    std::vector<std::string> categoryNames_;
};
