#include "htx/HtxReader.h"

#include <cstring>
#include <utility>

namespace {

bool IsTrimSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool EndsSingleQuoted(int c) {
    return c == '\'' || c == '%' || c == '<' || c == '>' || c == '\t' || c == '\n' || c == '\r';
}

bool EndsDoubleQuoted(int c) {
    return c == '"' || c == '\n' || c == '\r';
}

bool EndsUnquoted(int c) {
    return c == ' ' || c == '\'' || c == '%' || c == '<' || c == '>' || c == '\t' || c == '\n' ||
           c == '\r' || c == '"';
}

}  // namespace

HtxReader::HtxReader(HtxText text) {
    const std::size_t size = text->size();
    current_ = Frame{std::move(text), 0, size};
}

int HtxReader::Get() {
    for (;;) {
        if (current_.pos < current_.limit) {
            const unsigned char c = static_cast<unsigned char>((*current_.text)[current_.pos++]);
            if (c != 0) {
                return c;
            }
            continue;
        }
        if (suspended_.size() > floor_) {
            current_ = std::move(suspended_.back());
            suspended_.pop_back();
            continue;
        }
        end_ = true;
        return kEnd;
    }
}

std::size_t HtxReader::CopyPlainRun(HtxOutput* out) {
    const char* text = current_.text->data();
    const char* begin = text + current_.pos;
    std::size_t length = current_.limit - current_.pos;
    if (const void* open = std::memchr(begin, '<', length)) {
        length = static_cast<std::size_t>(static_cast<const char*>(open) - begin);
    }
    if (const void* nul = std::memchr(begin, '\0', length)) {
        length = static_cast<std::size_t>(static_cast<const char*>(nul) - begin);
    }
    const std::size_t end = current_.pos + length;
    if (out && length > 0) {
        out->Write(std::string_view(text + current_.pos, length));
    }
    current_.pos = end;
    return length;
}

bool HtxReader::CopyLiteral(HtxOutput* out, bool trimSpace) {
    bool afterSpace = false;
    for (;;) {
        // Without trimming, the bytes up to the next "<" (or NUL) go out as they stand.
        if (!trimSpace && CopyPlainRun(out) > 0) {
            afterSpace = false;
        }
        const int c = Get();
        if (c == kEnd) {
            return false;
        }
        if (c == '<') {
            // The mark is taken now: the next byte may come from a resumed text.
            HtxMark start = Here();
            --start.pos;
            const int next = Get();
            if (next == kEnd) {
                return false;
            }
            if (next == '%') {
                directiveStart_ = std::move(start);
                return true;
            }
            if (out) {
                out->Put('<');
                out->Put(static_cast<char>(next));
            }
            afterSpace = IsTrimSpace(next);
            continue;
        }
        const bool space = IsTrimSpace(c);
        if (out && !(trimSpace && space && afterSpace)) {
            out->Put(static_cast<char>(c));
        }
        afterSpace = space;
    }
}

HtxToken HtxReader::ReadToken() {
    HtxToken token;
    int c = Get();
    if (c == kEnd || c == '%') {
        token.end = c;
        return token;
    }
    bool (*ends)(int) = EndsUnquoted;
    if (c == '\'') {
        token.quote = HtxQuote::Single;
        ends = EndsSingleQuoted;
        c = Get();
    } else if (c == '"') {
        token.quote = HtxQuote::Double;
        ends = EndsDoubleQuoted;
        c = Get();
    }
    for (; c != kEnd && !ends(c); c = Get()) {
        token.text.push_back(static_cast<char>(c));
    }
    token.end = c;
    return token;
}

void HtxReader::SkipToDirectiveEnd() {
    for (int c = Get(); c != kEnd && c != '>'; c = Get()) {
    }
}

HtxMark HtxReader::Here() const {
    return HtxMark{current_.text, current_.pos, current_.limit, suspended_.size()};
}

void HtxReader::Include(HtxText text) {
    suspended_.push_back(std::move(current_));
    const std::size_t size = text->size();
    current_ = Frame{std::move(text), 0, size};
}

HtxReader::DetailPass::DetailPass(HtxReader& reader, const HtxMark& start, std::size_t end)
    : reader_(reader),
      savedText_(std::move(reader.current_.text)),
      savedPos_(reader.current_.pos),
      savedLimit_(reader.current_.limit),
      savedFloor_(reader.floor_),
      savedEnd_(reader.end_) {
    reader_.current_ = Frame{start.text, start.pos, end};
    reader_.floor_ = reader_.suspended_.size();
    reader_.end_ = false;
}

HtxReader::DetailPass::~DetailPass() {
    // Texts included by the body and not yet used up (the pass was cut short) are dropped.
    reader_.suspended_.resize(reader_.floor_);
    reader_.current_ = Frame{std::move(savedText_), savedPos_, savedLimit_};
    reader_.floor_ = savedFloor_;
    reader_.end_ = savedEnd_;
}
