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
CgiApplication* theApplication = nullptr;
constexpr std::size_t kMaxMessage = 4095;
// The body length a test-input run reads from "tstin".
constexpr const char* kTestInputLength = "3000";
}  // namespace

CgiApplication::CgiApplication() : env_(&Env::Default()) {
    theApplication = this;
}

CgiApplication::~CgiApplication() {
    if (theApplication == this) {
        theApplication = nullptr;
    }
}

CgiApplication& CgiApplication::Get() {
    return *theApplication;
}

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

bool CgiApplication::Init(int argc, char** argv, bool testInput) {
    testInput_ = testInput;
    cgiMode_ = !testInput;
    BeginInit(argc, argv);
    if (cgiMode_) {
        std::fputs("Content-Type: ", stdout);
        std::fputs(ContentType(), stdout);
        std::fputs("\r\nPragma: no-cache\r\n\r\n", stdout);
        std::fflush(stdout);
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

std::optional<std::string> CgiApplication::ReadRequestBody() {
    const char* lengthText = testInput_ ? kTestInputLength : std::getenv("CONTENT_LENGTH");
    if (lengthText == nullptr) {
        return std::nullopt;
    }
    std::FILE* source = stdin;
    if (testInput_) {
        source = std::fopen("tstin", "rb");
        if (source == nullptr) {
            RaiseCode(event_, "ERR_NOSTDIN");
            return std::nullopt;
        }
    }
    const std::optional<std::size_t> length = ParseContentLength(lengthText);
    if (!length) {
        if (source != stdin) {
            std::fclose(source);
        }
        Fatal("Request body of %.40s bytes exceeds the limit of %zu bytes.", lengthText,
              kMaxContentLength);
    }
    return ReadBody(source, *length);
}

void CgiApplication::RunRequest(const RequestEntry* table, const std::string& name) {
    RunGuarded(*this, [&] {
        int walked = 0;
        const RequestEntry* row = FindRequest(table, name, &walked);
        if (row == nullptr) {
            Fatal("Unknown request %s (%d)", name.c_str(), walked);
        }
        row->handler();
        EndProcess();
    });
    EndProcess();
}
