#include "platform/KeptFiles.h"

#include <sys/stat.h>

#include <cerrno>
#include <ctime>
#include <optional>

namespace {

std::chrono::nanoseconds Since1970(const struct timespec& t) {
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

}  // namespace

KeptFiles::Kept KeptFiles::Describe(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, Since1970(st.st_mtim), Since1970(st.st_ctim), {}};
}

bool KeptFiles::SameFile(const Kept& a, const Kept& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modified == b.modified && a.changed == b.changed;
}

bool KeptFiles::Settled(const Kept& file) const {
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::chrono::nanoseconds read = Since1970(now);
    return file.modified <= read - settle_ && file.changed <= read - settle_;
}

std::shared_ptr<const std::string> KeptFiles::Read(const std::string& path, std::size_t maxBytes,
                                                   ReadFailure* failure) {
    if (const auto found = files_.find(path); found != files_.end()) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0 && SameFile(found->second, Describe(st))) {
            if (found->second.text->size() > maxBytes) {
                if (failure != nullptr) {
                    *failure = ReadFailure::kTooLarge;
                }
                errno = EFBIG;
                return nullptr;
            }
            return found->second.text;
        }
        bytes_ -= found->second.text->size();
        files_.erase(found);
    }
    struct stat st;
    std::optional<std::string> content = ReadRegularFile(path, maxBytes, failure, st);
    if (!content) {
        return nullptr;
    }
    Kept file = Describe(st);
    file.text = std::make_shared<const std::string>(std::move(*content));
    // Only what was read whole and is still the size it had when opened is the file as the
    // times describe it.
    if (static_cast<off_t>(file.text->size()) == file.size && Settled(file) &&
        files_.size() < kMaxFiles && file.text->size() <= kMaxBytes - bytes_) {
        bytes_ += file.text->size();
        return files_.emplace(path, std::move(file)).first->second.text;
    }
    return std::move(file.text);
}
