// An Env for tests: passes everything to another Env (the system's unless given) except the
// faults a test asks for, keeps the clock and the random source where the test puts them, and
// records every write that reached the files.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Env.h"

class FaultyEnv : public Env {
  public:
    explicit FaultyEnv(Env& base = Env::Default()) : base_(base) {}

    // Faults. A file is named by the last part of its path ("quar_settings.dat").
    // The nth write from now on (1: the next) fails: a whole-file write, a log line or an
    // Append of a new file. 0: none.
    void FailNthWrite(int n) { writesUntilFault_ = n; }
    // The nth file operation from now on (1: the next) fails: a read, a whole-file write, a log
    // line, creating, removing, or an Append of a new file. When it fails, the file `marker` is
    // created, so that a parent process sees that the run reached it. 0: none.
    void FailNthOperation(int n, std::string marker) {
        operationsUntilFault_ = n;
        marker_ = std::move(marker);
    }
    // Reading, writing, creating or appending to a file of that name fails as if it could not
    // be opened.
    void FailOpening(std::string name) { failOpen_ = std::move(name); }
    // Closing a new file of that name reports an error.
    void FailClosing(std::string name) { failClose_ = std::move(name); }
    // Removing a file of that name fails (the file stays).
    void FailRemoving(std::string name) { failRemove_ = std::move(name); }

    // Now() gives `now` from here on.
    void SetNow(std::time_t now) { now_ = now; }
    // RandomBytes gives `bytes` over and over; empty: the random source fails.
    void SetRandomBytes(std::string bytes) {
        random_ = std::move(bytes);
        fixedRandom_ = true;
    }
    // OpenRegistry hands out what `open` makes instead of the base's registry.
    void SetRegistry(std::function<std::unique_ptr<Registry>()> open) {
        openRegistry_ = std::move(open);
    }

    // The writes that reached the base, in order.
    struct Write {
        std::string path;
        std::string data;
    };
    const std::vector<Write>& Writes() const { return writes_; }

    std::unique_ptr<Registry> OpenRegistry() override;
    std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) override;
    bool ReplaceFile(const std::string& path, const std::string& data, int mode,
                     bool ownerOnly) override;
    std::optional<std::string> ReadLockedFile(const std::string& path,
                                              std::size_t maxBytes) override;
    bool RewriteLockedFile(const std::string& path, const std::string& data, int mode) override;
    AppendOutcome AppendLine(const std::string& path, const std::string& line,
                             bool noFollow) override;
    UniqueFd OpenForReading(const std::string& path) override;
    bool FileExists(const std::string& path) override { return base_.FileExists(path); }
    bool RemoveFile(const std::string& path) override;
    std::unique_ptr<WritableFile> NewWritableFile(const std::string& path, int mode) override;
    std::time_t Now() override { return now_ ? now_ : base_.Now(); }
    bool RandomBytes(unsigned char* buffer, std::size_t size) override;

  private:
    class File;

    bool Named(const std::string& path, const std::string& name) const;
    // Counts one write (and operation); true when it is the one to fail.
    bool WriteFails();
    // Counts one operation; true when it is the one to fail.
    bool OperationFails();
    // Records a write that reached the base.
    void Record(const std::string& path, const std::string& data);

    Env& base_;
    int writesUntilFault_ = 0;
    int operationsUntilFault_ = 0;
    std::string marker_;
    std::string failOpen_;
    std::string failClose_;
    std::string failRemove_;
    std::time_t now_ = 0;
    bool fixedRandom_ = false;
    std::string random_;
    std::function<std::unique_ptr<Registry>()> openRegistry_;
    std::vector<Write> writes_;
};
