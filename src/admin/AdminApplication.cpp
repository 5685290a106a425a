#include "admin/AdminApplication.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "admin/Diagnostics.h"
#include "admin/PageVariables.h"
#include "admin/RequestOrigin.h"
#include "archive/CException.h"
#include "eventlog/LogFiles.h"
#include "htx/HtxProcessor.h"
#include "platform/Env.h"
#include "runtime/FormDecoder.h"
#include "runtime/RequestInput.h"
#include "settings/SettingsStore.h"

namespace {
// A session record is a line of a few short fields; anything larger is no session file.
constexpr std::size_t kMaxSessionFileBytes = 64 * 1024;
// The page of an error when the error page itself cannot be made: the banner, then the message.
constexpr const char* kFallbackHeading =
    "<H2 ALIGN=CENTER>%s<BR> Configuration ERROR:</H2><HR>%s<BR><HR><BR>";
// The body length a test-input run reads from "tstin".
constexpr std::size_t kTestInputLength = 3000;
}  // namespace

AdminApplication::AdminApplication() = default;
AdminApplication::~AdminApplication() = default;

void AdminApplication::BeginInit(int, char**) {
    processor_ = std::make_unique<HtxProcessor>(true);
    processor_->ReadFilesWith(
        [&env = Platform()](const std::string& name, std::size_t maxBytes, ReadFailure* failure) {
            return env.ReadSharedFile(name, maxBytes, failure);
        });
    event_.user = "NBX_admin";
    settings_.eventLogging = 1;
}

std::optional<Reply> AdminApplication::ReadRequestInput() {
    std::optional<std::string> body;
    if (std::optional<Reply> early = ReadRequestBody(kTestInputLength, body)) {
        return early;
    }
    if (body) {
        DecodedForm form = DecodeForm(std::move(*body));
        // The rows run from the last field to the first, so the last field of a name wins. The
        // variables and "ParamVars" share the decoded text.
        auto fields = std::make_shared<RowList>(std::vector<std::string>{"ParamKey", "ParamData"},
                                                std::move(form.texts), std::move(form.ends), true);
        processor_->SetPairVars(fields);
        processor_->SetListVar("ParamVars", std::move(fields));
    }
    if (!cgiMode_) {
        return std::nullopt;
    }
    ReadClientAddress();
    ::RequestName request = SplitQueryString(std::getenv("QUERY_STRING"), Platform());
    requestName_ = std::move(request.name);
    requestToken_ = std::move(request.token);
    return std::nullopt;
}

std::optional<Reply> AdminApplication::TakeRequestName(std::string& name) {
    name = requestName_;
    if (!cgiMode_) {
        return std::nullopt;
    }
    // Another web page can make the administrator's browser post the set-up, login or options
    // form here; the browser names that page's origin.
    const std::string foreign =
        ForeignOrigin(std::getenv("REQUEST_METHOD"), std::getenv("HTTP_ORIGIN"),
                      std::getenv("HTTP_REFERER"), std::getenv("HTTP_HOST"));
    if (foreign.empty()) {
        return std::nullopt;
    }
    event_.message = foreign;
    return RaiseCode(event_, "FORM_FOREIGN");
}

const char* AdminApplication::Banner() const {
    return kAdminBanner;
}

bool AdminApplication::LoadSettings() {
    return LoadServerSettings(settings_, DataDirectory(), Platform());
}

Reply AdminApplication::Fatal(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = FormatText(format, args);
    va_end(args);
    WriteDiagnostic(message, true);
    return Reply::Error(message);
}

void AdminApplication::Warning(const char*, ...) {}

Reply AdminApplication::RaiseCode(EventRecord& event, const char* code) {
    if (settings_.eventLogging) {
        AppendEvent(event, code, DataDirectory(), Platform());
    } else {
        event.Stamp(code, Platform().Now());
    }
    return Reply::Error(event.DisplayText(Catalogue()));
}

void AdminApplication::Answer(const Reply& reply) {
    if (reply.kind == Reply::Kind::kPage) {
        RenderPage(reply.text);
    } else if (reply.kind == Reply::Kind::kError) {
        ShowErrorPage(reply.text);
    } else {
        CgiApplication::Answer(reply);
    }
}

void AdminApplication::ShowErrorPage(const std::string& message) {
    if (processor_) {
        SetPageMessage(*processor_, MessageKind::Error, message);
        const int result = processor_->ProcessTemplate(kErrorPrototype);
        if (result == 0) {
            return;
        }
        // The message may quote the request; the fallback escapes it as the error page does.
        std::printf(kFallbackHeading, kAdminBanner, HtxProcessor::EscapeHtmlTags(message).c_str());
        if (result == -1) {
            std::printf("ERROR: Can't open html prototype file %s.", kErrorPrototype);
        } else {
            std::printf("ERROR: Processing of html prototype file failed fith code %d.", result);
        }
    } else {
        std::printf(kFallbackHeading, kAdminBanner, message.c_str());
    }
    DeleteSession();
}

void AdminApplication::RenderPage(const std::string& prototype) {
    const int result = processor_->ProcessTemplate(prototype.c_str());
    if (result == 0) {
        return;
    }
    DeleteSession();
    if (result == -1) {
        Answer(Fatal("ERROR: Can't open html prototype file %s.", prototype.c_str()));
    } else if (result == -2) {
        Answer(Fatal("ERROR: Not enough memory to process html prototype file."));
    } else {
        Answer(Fatal("ERROR: Processing of html prototype file failed fith code %d.", result));
    }
}

void AdminApplication::EndInit() {
    sessionLoaded_ = LoadSession();
    if (!sessionLoaded_) {
        session_.Reset();
    }
    ClaimPageVariables(*processor_);
}

bool AdminApplication::LoadSession() {
    const std::string path = SessionFilePath();
    if (path.empty()) {
        return false;
    }
    const std::optional<std::string> bytes = Platform().ReadLockedFile(path, kMaxSessionFileBytes);
    if (!bytes) {
        return false;
    }
    bool malformed = false;
    if (LoadSessionBytes(*bytes, session_, &malformed)) {
        storedSession_ = *bytes;
        return true;
    }
    if (malformed) {
        DeleteSession();
    }
    return false;
}

bool AdminApplication::SaveSession() {
    const std::string path = SessionFilePath();
    if (path.empty()) {
        return false;
    }
    try {
        // Stored on every page for its last-activity time, so it is rewritten in place: a new
        // file and a rename each time would cost more than the page, and a session lost in a
        // crash only means logging in again.
        std::string bytes = StoreSession(session_);
        if (!storedSession_.empty() && bytes == storedSession_) {
            // Writing the same bytes again would change nothing but the file's times; skipping
            // it also leaves a logout that another request made since in place.
            return true;
        }
        storedSession_.clear();
        if (!Platform().RewriteLockedFile(path, bytes, 0600)) {
            return false;
        }
        storedSession_ = std::move(bytes);
        return true;
    } catch (const CException&) {
        return false;
    }
}

std::optional<Reply> AdminApplication::TouchSession() {
    session_.lastActivity = static_cast<uint32_t>(Platform().Now());
    if (!SaveSession()) {
        DeleteSession();
        return RaiseCode(event_, "ERR_WRITESF");
    }
    return std::nullopt;
}

bool AdminApplication::SessionClient() const {
    // Both addresses: the forwarded one alone is whatever the sender writes, and the connecting
    // one alone is the same for every client of a proxy.
    return clientAddress_ == session_.clientAddress && proxyAddress_ == session_.proxyAddress;
}

AdminApplication::SessionOwner AdminApplication::CheckSession() {
    if (SessionExpired(session_.lastActivity, settings_.inactivityTimeout,
                       static_cast<uint64_t>(Platform().Now()))) {
        return SessionOwner::kExpired;
    }
    if (SessionClient() && session_.token == requestToken_) {
        processor_->SetStringVar("qa_lm_sm_name", session_.token);
        return SessionOwner::kRequest;
    }
    return SessionOwner::kOther;
}

std::string AdminApplication::SessionFilePath() {
    const std::string& directory = DataDirectory();
    return directory.empty() ? std::string() : directory + kSessionFileName;
}

bool AdminApplication::DeleteSession() {
    storedSession_.clear();
    const std::string path = SessionFilePath();
    return path.empty() || Platform().RemoveFile(path);
}
