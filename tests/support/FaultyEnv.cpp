#include "support/FaultyEnv.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Registry.h"

// A new file whose writes count towards FailNthWrite and whose close may be made to fail.
class FaultyEnv::File : public WritableFile {
  public:
    File(FaultyEnv& env, std::string path, std::unique_ptr<WritableFile> base)
        : env_(env), path_(std::move(path)), base_(std::move(base)) {}
    bool Append(const char* data, std::size_t size) override {
        if (env_.WriteFails() || !base_->Append(data, size)) {
            return false;
        }
        env_.Record(path_, std::string(data, size));
        return true;
    }
    bool Close() override {
        const bool closed = base_->Close();
        return closed && !env_.Named(path_, env_.failClose_);
    }

  private:
    FaultyEnv& env_;
    std::string path_;
    std::unique_ptr<WritableFile> base_;
};

bool FaultyEnv::Named(const std::string& path, const std::string& name) const {
    if (name.empty()) {
        return false;
    }
    const std::size_t slash = path.rfind('/');
    return path.compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos, name) == 0;
}

bool FaultyEnv::WriteFails() {
    if (OperationFails()) {
        return true;
    }
    if (writesUntilFault_ <= 0) {
        return false;
    }
    return --writesUntilFault_ == 0;
}

bool FaultyEnv::OperationFails() {
    if (operationsUntilFault_ <= 0 || --operationsUntilFault_ != 0) {
        return false;
    }
    if (!marker_.empty()) {
        ::close(::open(marker_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    }
    return true;
}

void FaultyEnv::Record(const std::string& path, const std::string& data) {
    writes_.push_back({path, data});
}

std::unique_ptr<Registry> FaultyEnv::OpenRegistry() {
    return openRegistry_ ? openRegistry_() : base_.OpenRegistry();
}

std::optional<std::string> FaultyEnv::ReadFile(const std::string& path, std::size_t maxBytes) {
    if (Named(path, failOpen_) || OperationFails()) {
        return std::nullopt;
    }
    return base_.ReadFile(path, maxBytes);
}

bool FaultyEnv::ReplaceFile(const std::string& path, const std::string& data, int mode,
                            bool ownerOnly) {
    if (Named(path, failOpen_) || WriteFails() || !base_.ReplaceFile(path, data, mode, ownerOnly)) {
        return false;
    }
    Record(path, data);
    return true;
}

std::optional<std::string> FaultyEnv::ReadLockedFile(const std::string& path,
                                                     std::size_t maxBytes) {
    if (Named(path, failOpen_) || OperationFails()) {
        return std::nullopt;
    }
    return base_.ReadLockedFile(path, maxBytes);
}

bool FaultyEnv::RewriteLockedFile(const std::string& path, const std::string& data, int mode) {
    if (Named(path, failOpen_) || WriteFails() || !base_.RewriteLockedFile(path, data, mode)) {
        return false;
    }
    Record(path, data);
    return true;
}

AppendOutcome FaultyEnv::AppendLine(const std::string& path, const std::string& line,
                                    bool noFollow) {
    if (Named(path, failOpen_) || WriteFails()) {
        return AppendOutcome::kNotWritten;
    }
    const AppendOutcome outcome = base_.AppendLine(path, line, noFollow);
    if (outcome == AppendOutcome::kWritten) {
        Record(path, line);
    }
    return outcome;
}

UniqueFd FaultyEnv::OpenForReading(const std::string& path) {
    if (Named(path, failOpen_) || OperationFails()) {
        errno = EACCES;
        return UniqueFd();
    }
    return base_.OpenForReading(path);
}

bool FaultyEnv::RemoveFile(const std::string& path) {
    return !Named(path, failRemove_) && !OperationFails() && base_.RemoveFile(path);
}

std::unique_ptr<WritableFile> FaultyEnv::NewWritableFile(const std::string& path, int mode) {
    if (Named(path, failOpen_) || OperationFails()) {
        return nullptr;
    }
    std::unique_ptr<WritableFile> file = base_.NewWritableFile(path, mode);
    if (!file) {
        return nullptr;
    }
    return std::make_unique<File>(*this, path, std::move(file));
}

bool FaultyEnv::RandomBytes(unsigned char* buffer, std::size_t size) {
    if (!fixedRandom_) {
        return base_.RandomBytes(buffer, size);
    }
    if (random_.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < size; ++i) {
        buffer[i] = static_cast<unsigned char>(random_[i % random_.size()]);
    }
    return true;
}
