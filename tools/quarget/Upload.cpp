#include "Upload.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileUtil.h"

namespace {

// Bytes of a file read per piece.
constexpr size_t kFilePiece = 256u << 10;
struct LibraryFree {
    void operator()(void* block) const { QuarInetFree(block); }
};

// Marks where a file's content goes in a form built with stand-ins for the files.
std::string StandIn(size_t index) {
    return "\x01quarget-file-" + std::to_string(index) + "\x02";
}

// True when the file at `path` holds `text`; read piece by piece.
bool FileHolds(const std::string& path, const std::string& text) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return true;  // unknown: taken as held, so that the file is read whole
    }
    std::string window;
    std::unique_ptr<char[]> buffer(new char[kFilePiece]);
    bool found = false;
    for (ssize_t n; !found && (n = read(fd, buffer.get(), kFilePiece)) > 0;) {
        window.append(buffer.get(), static_cast<size_t>(n));
        found = window.find(text) != std::string::npos;
        window.erase(0, window.size() > text.size() ? window.size() - text.size() : 0);
    }
    close(fd);
    return found;
}

}  // namespace

Upload::Upload() : source_{this, 0, &Upload::Next, &Upload::Rewind} {}

Upload::~Upload() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool Upload::AddFile(const std::string& path, std::string& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        access(path.c_str(), R_OK) != 0) {
        // Not a plain file (a pipe, say): its content is read now, as a whole.
        std::optional<std::string> content = ReadWholeFile(path);
        if (!content) {
            error = "cannot read " + path;
            return false;
        }
        pieces_.push_back({std::move(*content), "", 0});
        return true;
    }
    pieces_.push_back({"", path, static_cast<uint64_t>(info.st_size)});
    return true;
}

bool Upload::Build(const Arguments& args, std::string& headers, std::string& error) {
    for (const std::string& line : args.headers) {
        headers += line + "\r\n";
    }
    bool built = true;
    if (args.data) {
        const std::string& data = *args.data;
        if (!data.empty() && data[0] == '@') {
            built = AddFile(data.substr(1), error);
        } else {
            pieces_.push_back({data, "", 0});
        }
    } else if (!args.form.empty()) {
        built = BuildForm(args, headers, error);
    }
    if (!built) {
        return false;
    }
    source_.Length = 0;
    for (Piece& piece : pieces_) {
        if (piece.file.empty()) {
            piece.size = piece.text.size();
        }
        source_.Length += piece.size;
    }
    return true;
}

// The library builds the form (boundary, part headers) with stand-ins for the files; the body
// is then cut at the stand-ins and the files go there as they are read. A file that holds the
// boundary makes the form be built again over the file's content, as the library chooses a
// boundary that no part holds.
bool Upload::BuildForm(const Arguments& args, std::string& headers, std::string& error) {
    std::vector<std::string> partHeaders;
    std::vector<std::string> contents;
    std::vector<std::string> files;
    for (const FormField& field : args.form) {
        std::string disposition = "Content-Disposition: form-data; name=\"" + field.name + "\"";
        std::string content = field.value;
        if (field.fromFile) {
            files.push_back(field.value);
            content = StandIn(files.size() - 1);
            const size_t slash = field.value.rfind('/');
            disposition += "; filename=\"" + field.value.substr(slash + 1) +
                           "\"\r\nContent-Type: application/octet-stream";
        }
        partHeaders.push_back(disposition + "\r\n");
        contents.push_back(content);
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<mime_part> parts(contents.size());
        for (size_t i = 0; i < parts.size(); ++i) {
            parts[i] = {partHeaders[i].c_str(), 0, contents[i].data(),
                        static_cast<uint32_t>(contents[i].size())};
        }
        char* formHeaders = nullptr;
        char* formBody = nullptr;
        uint32_t formLength = 0;
        if (!ConstructMimeMultipart(formHeaders, formBody, formLength, headers.c_str(),
                                    parts.data(), static_cast<uint32_t>(parts.size()))) {
            error = "out of memory building the form";
            return false;
        }
        std::unique_ptr<char, LibraryFree> ownedHeaders(formHeaders), ownedBody(formBody);
        const std::string body(formBody, formLength);
        char contentType[512];
        const char* boundary = nullptr;
        if (QuarInetGetHeaderValue(formHeaders, "Content-type:", contentType, sizeof contentType)) {
            boundary = strstr(contentType, "boundary=");
        }
        bool clash = boundary == nullptr && !files.empty();
        for (size_t i = 0; !clash && attempt == 0 && i < files.size(); ++i) {
            clash = FileHolds(files[i], std::string("--") + (boundary + 9));
        }
        if (clash) {
            // Read the files now and let the library choose the boundary over their content.
            size_t next = 0;
            for (std::string& content : contents) {
                if (next < files.size() && content == StandIn(next)) {
                    std::optional<std::string> read = ReadWholeFile(files[next++]);
                    if (!read) {
                        error = "cannot read " + files[next - 1];
                        return false;
                    }
                    content = std::move(*read);
                }
            }
            files.clear();
            continue;
        }
        size_t from = 0;
        for (size_t i = 0; i < files.size(); ++i) {
            const size_t at = body.find(StandIn(i), from);
            pieces_.push_back({body.substr(from, at - from), "", 0});
            if (!AddFile(files[i], error)) {
                return false;
            }
            from = at + StandIn(i).size();
        }
        pieces_.push_back({body.substr(from), "", 0});
        headers = formHeaders;
        return true;
    }
    error = "out of memory building the form";
    return false;
}

uint32_t Upload::Next(void* self, const char** bytes, uint32_t* length) {
    Upload& u = *static_cast<Upload*>(self);
    *bytes = nullptr;
    *length = 0;
    while (u.current_ < u.pieces_.size()) {
        Piece& piece = u.pieces_[u.current_];
        if (u.offset_ >= piece.size) {
            if (u.fd_ >= 0) {
                close(u.fd_);
                u.fd_ = -1;
            }
            ++u.current_;
            u.offset_ = 0;
            continue;
        }
        if (piece.file.empty()) {
            // Text goes out from where it is, in one piece.
            const uint64_t left = piece.size - u.offset_;
            *bytes = piece.text.data() + u.offset_;
            *length = left > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(left);
            u.offset_ += *length;
            return 0;
        }
        if (u.fd_ < 0) {
            u.fd_ = open(piece.file.c_str(), O_RDONLY | O_CLOEXEC);
            if (u.buffer_ == nullptr) {
                u.buffer_.reset(new char[kFilePiece]);
            }
            if (u.fd_ < 0 || lseek(u.fd_, static_cast<off_t>(u.offset_), SEEK_SET) < 0) {
                return kReadFailed;
            }
        }
        // What the file held when the body was measured, even if it grew since.
        const uint64_t left = piece.size - u.offset_;
        const size_t want = left < kFilePiece ? static_cast<size_t>(left) : kFilePiece;
        ssize_t n;
        do {
            n = read(u.fd_, u.buffer_.get(), want);
        } while (n < 0 && errno == EINTR);
        if (n <= 0) {
            return kReadFailed;  // the file shrank or cannot be read
        }
        *bytes = u.buffer_.get();
        *length = static_cast<uint32_t>(n);
        u.offset_ += static_cast<uint64_t>(n);
        return 0;
    }
    return 0;
}

uint32_t Upload::Rewind(void* self) {
    Upload& u = *static_cast<Upload*>(self);
    if (u.fd_ >= 0) {
        close(u.fd_);
        u.fd_ = -1;
    }
    u.current_ = 0;
    u.offset_ = 0;
    return 0;
}
