#include "imageserver/ImageApplication.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/FileUtil.h"
#include "runtime/ProgramDirectory.h"

namespace {

// The whole file, or nothing with errno set. Only regular files count: a directory name such
// as ".." is not an image, and neither is a FIFO (opened without waiting for a writer) nor a
// symbolic link (not followed out of the image folder).
bool ReadImage(const std::string& path, std::string& bytes) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    if (!fd) {
        return false;
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) {
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    std::optional<std::string> content = ReadOpenFile(fd.get());
    if (!content) {
        return false;
    }
    bytes = std::move(*content);
    return true;
}
// Only images are served: the folder also holds the programs, the pages and the catalogue,
// and a data directory put there by mistake would hold the settings.
bool IsGifName(const std::string& name) {
    static constexpr char kSuffix[] = ".gif";
    constexpr std::size_t kLength = sizeof kSuffix - 1;
    if (name.size() <= kLength) {
        return false;
    }
    for (std::size_t i = 0; i < kLength; ++i) {
        const char c = name[name.size() - kLength + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != kSuffix[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

const unsigned char kBuiltInPixel[49] = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61,                                      // GIF89a
    0x01, 0x00, 0x01, 0x00, 0x91, 0xFF, 0x00,                                // 1 x 1, 4 colours
    0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xC0, 0xC0, 0xC0, 0x00, 0x00, 0x00,  // colour table
    0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x02, 0x00,                          // index 2 transparent
    0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00,              // image descriptor
    0x02, 0x02, 0x54, 0x01, 0x00,                                            // image data
    0x3B};                                                                   // trailer

std::string ImageApplication::FileNameOf(const std::string& query) {
    std::string name = query;
    for (char separator : {'/', '\\', ':'}) {
        const std::size_t cut = name.rfind(separator);
        if (cut != std::string::npos) {
            name.erase(0, cut + 1);
        }
    }
    return name;
}

void ImageApplication::Serve(int argc, char** argv) {
    cgiMode_ = true;
    const char* query = std::getenv("QUERY_STRING");
    fileName_ = FileNameOf(query ? query : "");
    if (fileName_.empty()) {
        WriteHeader("text/plain");
        Answer(Reply::Banner());
        return;
    }
    WriteHeader(ContentType());
    programDirectory_ = ProgramDirectory(argc > 0 ? argv[0] : nullptr);

    const std::string path = programDirectory_ + fileName_;
    std::string bytes;
    if (!IsGifName(fileName_)) {
        Warning("File %s is not an image: not served", path.c_str());
        bytes.assign(reinterpret_cast<const char*>(kBuiltInPixel), sizeof kBuiltInPixel);
    } else if (!ReadImage(path, bytes)) {
        Warning("File %s not found: %d", path.c_str(), errno);
        bytes.assign(reinterpret_cast<const char*>(kBuiltInPixel), sizeof kBuiltInPixel);
    }
    Answer(Reply::Text(std::move(bytes)));
}
