// A fresh directory under the system's temporary folder, removed with everything in it.
#pragma once

#include <string>

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // Writes a file below the directory (creating folders on the way).
    void Write(const std::string& name, const std::string& content) const;
    // The content of a file below the directory, or "" when missing.
    std::string Read(const std::string& name) const;
    bool Exists(const std::string& name) const;

  private:
    std::string path_;
};
