// quarnbxadmin's application object: the administration pages.
#pragma once

#include <memory>
#include <string>

#include "admin/AdminSession.h"
#include "runtime/CgiApplication.h"

class HtxProcessor;

class AdminApplication : public CgiApplication {
  public:
    AdminApplication();
    ~AdminApplication() override;

    // A diagnostic line (logging forced on when no data directory is configured), then the
    // error page with the message.
    [[noreturn]] void Fatal(const char* format, ...) override;
    // The administration program reports nothing that is not fatal.
    void Warning(const char* format, ...) override;
    // An event line, then the error page with the event's display text.
    [[noreturn]] void RaiseCode(EventRecord& event, const char* code) override;

    // Renders `prototype` and ends the process; a prototype that cannot be rendered ends in
    // Fatal after the session file is deleted.
    [[noreturn]] void RenderPage(const char* prototype);

    // Deletes the administrator session file; failures are ignored.
    void DeleteSession();

    // The session record and its file.
    AdminSession& Session() { return session_; }
    bool SessionLoaded() const { return sessionLoaded_; }
    void ForgetSession() { sessionLoaded_ = false; }
    // Reads and checks the session file; a malformed file is deleted. False: no session.
    bool LoadSession();
    // Stores the record (with its checksum), replacing the file; false on failure.
    bool SaveSession();
    // Last activity = now, then SaveSession; on failure deletes the file and raises
    // "ERR_WRITESF".
    void TouchSession();
    // True when the request comes from the session's client: the same forwarded address (if
    // any) through the same connecting address.
    bool SessionClient() const;
    // True when the request belongs to the active session ("qa_lm_sm_name" is then set);
    // false for an expired session. Another client's or token's active session raises
    // "LOGGET_OTHER" unless quiet (then false).
    bool CheckSession(bool quiet);
    // The session file in the data directory, or empty when none is configured.
    std::string SessionFilePath();

    HtxProcessor& Processor() { return *processor_; }
    const std::string& RequestName() const { return requestName_; }
    const std::string& RequestToken() const { return requestToken_; }
    const std::string& ProgramDirectory() const { return programDirectory_; }

    static constexpr const char* kErrorPrototype = "quar_error.htx";
    static constexpr const char* kSessionFileName = "quar_session.dat";

  protected:
    // Makes the page processor first: every later step may end in the error page.
    void BeginInit(int argc, char** argv) override;
    const char* ContentType() const override { return "text/html"; }
    void ReadRequestInput() override;
    bool LoadSettings() override;
    // Loads the session, then claims the variables the pages own from the form's fields.
    void EndInit() override;
    std::string TakeRequestName() override { return requestName_; }
    const char* Banner() const override;

  private:
    // Sets "err_msg", renders the error page, or prints the fallback page; ends the process.
    [[noreturn]] void ShowErrorPage(const std::string& message);

    std::unique_ptr<HtxProcessor> processor_;
    std::string requestName_;
    std::string requestToken_;
    std::string programDirectory_;
    AdminSession session_;
    bool sessionLoaded_ = false;
};
