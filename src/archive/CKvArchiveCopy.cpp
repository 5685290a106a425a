// Skipping and copying whole objects token by token. Both walk the nesting with a counter,
// not by recursion, so deep nesting costs no stack.
#include <cstddef>
#include <string_view>

#include "archive/CKvArchive.h"

CKvArchive& CKvArchive::skipObject() {
    std::size_t depth = 1;
    for (;;) {
        reader_->nextToken();
        switch (reader_->kind()) {
            case TokenKind::Word:
                break;
            case TokenKind::Tag: {
                std::string_view tag = reader_->bytes();
                if (tag == "end") {
                    if (depth == 1) {
                        return *this;
                    }
                    --depth;
                } else if (tag == "obj") {
                    ++depth;
                } else if (tag != "null") {
                    raise(kArCannotSkip, inputDetail(tag));
                }
                break;
            }
            default:
                raise(kArBadArchive);
        }
    }
}

CKvArchive& CKvArchive::copyItem(CKvTokenizer& from, CKvUntokenizer& to) {
    from.nextToken();
    switch (from.kind()) {
        case TokenKind::Tag: {
            std::string_view tag = from.bytes();
            to.writeTag(tag);
            if (tag == "obj") {
                return copyObjectBody(from, to);
            }
            if (tag == "null") {
                return *this;
            }
            if (tag == "ver") {
                from.nextToken();
                if (from.kind() != TokenKind::Word) {
                    raise(kArCannotClone, "VER tag without version");
                }
                to.nextToken(TokenKind::Word, from.bytes());
                return *this;
            }
            raise(kArCannotClone, inputDetail(tag));
        }
        case TokenKind::Word:
            to.nextToken(TokenKind::Word, from.bytes());
            return *this;
        default:
            raise(kArBadArchive);
    }
}

CKvArchive& CKvArchive::copyObjectBody(CKvTokenizer& from, CKvUntokenizer& to) {
    std::size_t depth = 1;
    for (;;) {
        from.nextToken();
        switch (from.kind()) {
            case TokenKind::Word:
                to.nextToken(TokenKind::Word, from.bytes());
                break;
            case TokenKind::Tag: {
                std::string_view tag = from.bytes();
                to.writeTag(tag);
                if (tag == "end") {
                    if (depth == 1) {
                        return *this;
                    }
                    --depth;
                } else if (tag == "obj") {
                    ++depth;
                } else if (tag != "null" && tag != "ver") {
                    raise(kArCannotClone, inputDetail(tag));
                }
                break;
            }
            default:
                raise(kArBadArchive);
        }
    }
}
