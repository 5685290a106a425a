#include "runtime/CgiApplication.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "eventlog/LogFiles.h"
#include "platform/DataDirectory.h"
#include "platform/Env.h"
#include "platform/Registry.h"
#include "runtime/ReplyChannel.h"
#include "runtime/RequestInput.h"
#include "runtime/RunRequest.h"

namespace {
constexpr std::size_t kMaxMessage = 4095;
// Set in the environment by whoever runs a program on a saved request ("tstin") instead of a
// live one; a web server never sets it from a request.
constexpr const char* kTestInputVariable = "QUAR_TEST_INPUT";
constexpr const char* kTestInputFile = "tstin";
}  // namespace

CgiApplication::CgiApplication() : env_(&Env::Default()) {}
CgiApplication::~CgiApplication() = default;

void CgiApplication::EndWhenReaderGoes() {
    std::signal(SIGPIPE, SIG_DFL);
}

const std::string& CgiApplication::DataDirectory() {
    if (!dataDirectory_) {
        dataDirectory_ = ReadDataDirectory(*env_->OpenRegistry());
        if (!dataDirectory_) {
            static const std::string kNone;
            return kNone;
        }
    }
    return *dataDirectory_;
}

void CgiApplication::Run(int argc, char** argv,
                         const std::function<Reply(const std::string& name)>& dispatch) {
    const char* testInput = std::getenv(kTestInputVariable);
    const Reply reply = RunGuarded(*this, [&]() -> Reply {
        if (std::optional<Reply> early =
                Start(argc, argv, testInput != nullptr && *testInput != '\0')) {
            return std::move(*early);
        }
        std::string name;
        if (std::optional<Reply> early = TakeRequestName(name)) {
            return std::move(*early);
        }
        return dispatch(name);
    });
    // A page that fails while it is made is reported like any other failure of the request.
    const Reply failed = RunGuarded(*this, [&] {
        Answer(reply);
        return Reply::None();
    });
    Answer(failed);
    std::fflush(stdout);
}

void CgiApplication::Answer(const Reply& reply) {
    if (reply.kind == Reply::Kind::kBanner) {
        std::fputs(Banner(), stdout);
    } else if (reply.kind == Reply::Kind::kText) {
        std::fwrite(reply.text.data(), 1, reply.text.size(), stdout);
    }
}

void CgiApplication::WriteHeader(const char* contentType) {
    std::fputs("Content-Type: ", stdout);
    std::fputs(contentType, stdout);
    std::fputs("\r\nPragma: no-cache\r\n\r\n", stdout);
}

std::optional<Reply> CgiApplication::Start(int argc, char** argv, bool testInput) {
    testInput_ = testInput;
    cgiMode_ = !testInput;
    BeginInit(argc, argv);
    if (cgiMode_) {
        WriteHeader(ContentType());
    }
    if (!CreateReplyArchive()) {
        return Reply::None();
    }
    if (LoadsCatalogueAtStart()) {
        LoadCatalogue();
    }
    if (std::optional<Reply> early = ReadRequestInput()) {
        return early;
    }
    event_.clientAddress = clientAddress_;
    event_.proxyAddress = proxyAddress_;
    settingsLoaded_ = LoadSettings();
    if (!settingsLoaded_) {
        settings_.Reset();
    }
    EndInit();
    return std::nullopt;
}

const MessageCatalogue& CgiApplication::Catalogue() {
    if (!catalogueLoaded_) {
        LoadCatalogue();
    }
    return catalogue_;
}

void CgiApplication::LoadCatalogue() {
    catalogueLoaded_ = true;
    const std::string warning = catalogue_.Load(*env_);
    if (!warning.empty()) {
        Warning("%s", warning.c_str());
    }
}

std::string CgiApplication::FormatText(const char* format, va_list args) {
    char buffer[kMaxMessage + 1];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    return buffer;
}

void CgiApplication::WriteDiagnostic(const std::string& message, bool forceWhenNoDataDirectory) {
    const std::string& directory = DataDirectory();
    if (forceWhenNoDataDirectory && directory.empty()) {
        settings_.eventLogging = 1;
    }
    if (settings_.eventLogging) {
        AppendDiagnostic(message, directory, *env_);
    }
}

Reply CgiApplication::Fatal(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = FormatText(format, args);
    va_end(args);
    WriteDiagnostic(message, false);
    return Reply::None();
}

void CgiApplication::Warning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = FormatText(format, args);
    va_end(args);
    WriteDiagnostic(message, false);
}

Reply CgiApplication::RaiseCode(EventRecord& event, const char* code) {
    LogCode(event, code);
    return Reply::None();
}

void CgiApplication::LogCode(EventRecord& event, const char* code) {
    if (settings_.eventLogging) {
        AppendEvent(event, code, DataDirectory(), *env_);
    }
}

void CgiApplication::ReadClientAddress() {
    if (!cgiMode_) {
        return;
    }
    ClientAddresses addresses = ReadClientAddresses();
    clientAddress_ = std::move(addresses.client);
    proxyAddress_ = std::move(addresses.proxy);
    remoteHost_ = std::move(addresses.remoteHost);
}

std::optional<Reply> CgiApplication::ReadRequestBody(std::size_t testInputLength,
                                                     std::optional<std::string>& body) {
    const std::string testLength = std::to_string(testInputLength);
    const char* lengthText = testInput_ ? testLength.c_str() : std::getenv("CONTENT_LENGTH");
    RequestBody read = ::ReadRequestBody(lengthText, testInput_ ? kTestInputFile : nullptr);
    using Outcome = RequestBody::Outcome;
    if (read.outcome == Outcome::kTooLong) {
        return Fatal("Request body of %.40s bytes exceeds the limit of %zu bytes.", lengthText,
                     kMaxContentLength);
    }
    if (read.outcome == Outcome::kCannotOpen) {
        return ReportNoTestInput(read.error);
    }
    if (read.outcome == Outcome::kRead) {
        body = std::move(read.bytes);
    }
    return std::nullopt;
}

Reply CgiApplication::ReportNoTestInput(int) {
    return RaiseCode(event_, "ERR_NOSTDIN");
}
