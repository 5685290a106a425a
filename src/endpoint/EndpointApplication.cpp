#include "endpoint/EndpointApplication.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "archive/ByteStream.h"
#include "archive/CKvArchive.h"
#include "archive/CKvTokenizer.h"
#include "runtime/RequestInput.h"
#include "settings/SettingsStore.h"

namespace {

// The body length a test-input run reads from "tstin".
constexpr std::size_t kTestInputLength = 32000;
// The input is re-read as text in pieces of this size, each up to its first zero byte.
constexpr std::size_t kInputChunk = 2046;

// The text of the input from its current position: chunks, each cut at its first zero byte.
std::string ReadRemainingText(MemoryStream& input) {
    std::string text;
    char chunk[kInputChunk];
    for (;;) {
        const std::size_t n = input.read(chunk, sizeof chunk);
        if (n == 0) {
            break;
        }
        text.append(chunk, strnlen(chunk, n));
    }
    return text;
}

}  // namespace

EndpointApplication::EndpointApplication() = default;
EndpointApplication::~EndpointApplication() = default;

std::optional<Reply> EndpointApplication::ReadRequestInput() {
    std::optional<std::string> body;
    if (std::optional<Reply> early = ReadRequestBody(kTestInputLength, body)) {
        return early;
    }
    // A request without a body (a GET) is answered with the banner.
    if (!body || body->empty() || (*body)[0] == '\0') {
        return Reply::Banner();
    }
    input_.reset(new (std::nothrow) MemoryStream(std::move(*body)));
    if (input_) {
        inputTokenizer_.reset(new (std::nothrow) CKvTokenizer(*input_));
    }
    if (!inputTokenizer_) {
        return Fatal("Can't create tokenizer");
    }
    inputArchive_.reset(new (std::nothrow) CKvArchive(*inputTokenizer_));
    if (!inputArchive_) {
        return Fatal("Can't open input archive");
    }
    if (testInput_) {
        std::string text = ReadRemainingText(*input_);
        Warning("\n>>>>>>>>input\n%s\n<<<<<<<<<<<<", text.c_str());
        AttachInput(std::move(text));
    }
    ReadClientAddress();
    return std::nullopt;
}

Reply EndpointApplication::ReportNoTestInput(int error) {
    return Fatal("Can't open stdin, error %d (%s)", error, std::strerror(error));
}

std::optional<Reply> EndpointApplication::TakeRequestName(std::string& name) {
    std::string text = ReadRemainingText(*input_);
    if (text.empty()) {
        return Reply::Banner();
    }
    AttachInput(std::move(text));
    inputArchive_->serializeString(name);
    return std::nullopt;
}

void EndpointApplication::AttachInput(std::string text) {
    input_->assign(std::move(text));
    inputTokenizer_ = std::make_unique<CKvTokenizer>(*input_);
    inputArchive_ = std::make_unique<CKvArchive>(*inputTokenizer_);
}

bool EndpointApplication::LoadSettings() {
    return LoadServerSettings(settings_, DataDirectory(), Platform());
}

Reply EndpointApplication::Fatal(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = FormatText(format, args);
    va_end(args);
    WriteDiagnostic(message, false);
    return Reply::Error(message);
}

void EndpointApplication::Answer(const Reply& reply) {
    if (reply.kind == Reply::Kind::kError) {
        ReplyError(reply.text);
    } else {
        CgiApplication::Answer(reply);
    }
}

void EndpointApplication::ReplyError(const std::string& message) {
    if (CKvArchive* reply = ReplyArchive()) {
        try {
            reply->storeString("ACK_ERR");
            reply->storeString(message);
            reply->untokenizer()->stream().flush();
        } catch (...) {
            // Standard output is gone: nobody is left to tell.
        }
    }
}
