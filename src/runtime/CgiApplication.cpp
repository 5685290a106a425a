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

void CgiApplication::EndProcess() {
    std::fflush(stdout);
    // Everything the request changed is in its files already; tearing down the objects of the
    // process would only spend time after the reply.
    std::_Exit(0);
}

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

int CgiApplication::Run(int argc, char** argv,
                        const std::function<void(const std::string& name)>& dispatch) {
    EndWhenReaderGoes();
    const char* testInput = std::getenv(kTestInputVariable);
    RunGuarded(*this, [&] {
        if (Init(argc, argv, testInput != nullptr && *testInput != '\0')) {
            dispatch(TakeRequestName());
        }
    });
    return 0;
}

void CgiApplication::ShowBanner() {
    std::fputs(Banner(), stdout);
    EndProcess();
}

void CgiApplication::WriteHeader(const char* contentType) {
    std::fputs("Content-Type: ", stdout);
    std::fputs(contentType, stdout);
    std::fputs("\r\nPragma: no-cache\r\n\r\n", stdout);
    std::fflush(stdout);
}

bool CgiApplication::Init(int argc, char** argv, bool testInput) {
    testInput_ = testInput;
    cgiMode_ = !testInput;
    BeginInit(argc, argv);
    if (cgiMode_) {
        WriteHeader(ContentType());
    }
    if (!CreateReplyArchive()) {
        return false;
    }
    LoadCatalogue();
    ReadRequestInput();
    event_.clientAddress = clientAddress_;
    event_.proxyAddress = proxyAddress_;
    settingsLoaded_ = LoadSettings();
    if (!settingsLoaded_) {
        settings_.Reset();
    }
    EndInit();
    return true;
}

void CgiApplication::LoadCatalogue() {
    const std::string warning = catalogue_.Load();
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

void CgiApplication::Fatal(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = FormatText(format, args);
    va_end(args);
    WriteDiagnostic(message, false);
    EndProcess();
}

void CgiApplication::Warning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = FormatText(format, args);
    va_end(args);
    WriteDiagnostic(message, false);
}

void CgiApplication::RaiseCode(EventRecord& event, const char* code) {
    LogCode(event, code);
    EndProcess();
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

std::optional<std::string> CgiApplication::ReadRequestBody(std::size_t testInputLength) {
    const std::string testLength = std::to_string(testInputLength);
    const char* lengthText = testInput_ ? testLength.c_str() : std::getenv("CONTENT_LENGTH");
    RequestBody body = ::ReadRequestBody(lengthText, testInput_ ? kTestInputFile : nullptr);
    using Outcome = RequestBody::Outcome;
    if (body.outcome == Outcome::kTooLong) {
        Fatal("Request body of %.40s bytes exceeds the limit of %zu bytes.", lengthText,
              kMaxContentLength);
    }
    if (body.outcome == Outcome::kCannotOpen) {
        ReportNoTestInput(body.error);
    }
    if (body.outcome != Outcome::kRead) {
        return std::nullopt;
    }
    return std::move(body.bytes);
}

void CgiApplication::ReportNoTestInput(int) {
    RaiseCode(event_, "ERR_NOSTDIN");
}
