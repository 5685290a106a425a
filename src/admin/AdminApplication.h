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

    // A diagnostic line (logging forced on when no data directory is configured); the reply
    // is the error page with the message.
    Reply Fatal(const char* format, ...) override;
    // The administration program reports nothing that is not fatal.
    void Warning(const char* format, ...) override;
    // An event line; the reply is the error page with the event's display text.
    Reply RaiseCode(EventRecord& event, const char* code) override;

    // Gives a page (one that cannot be rendered gives Fatal's reply after the session file is
    // deleted), the error page, the banner or a text.
    void Answer(const Reply& reply) override;

    // Deletes the administrator session file; false when it is still there afterwards.
    bool DeleteSession();

    // The session record and its file.
    AdminSession& Session() { return session_; }
    bool SessionLoaded() const { return sessionLoaded_; }
    void ForgetSession() { sessionLoaded_ = false; }
    // Reads and checks the session file; a malformed file is deleted. False: no session.
    bool LoadSession();
    // Stores the record (with its checksum), replacing the file; false on failure. A record the
    // file holds already, byte for byte (a second page in the same second), is not written.
    bool SaveSession();
    // Last activity = now, then SaveSession; on failure deletes the file and gives the reply
    // of "ERR_WRITESF".
    std::optional<Reply> TouchSession();
    // True when the request comes from the session's client: the same forwarded address (if
    // any) through the same connecting address.
    bool SessionClient() const;
    // Whose the loaded session is: the request's own ("qa_lm_sm_name" is then set), an expired
    // one, or another client's or token's active session.
    enum class SessionOwner { kRequest, kExpired, kOther };
    SessionOwner CheckSession();
    // The session file in the data directory, or empty when none is configured.
    std::string SessionFilePath();

    HtxProcessor& Processor() { return *processor_; }
    const std::string& RequestToken() const { return requestToken_; }

    static constexpr const char* kErrorPrototype = "quar_error.htx";
    static constexpr const char* kSessionFileName = "quar_session.dat";

  protected:
    // Makes the page processor first: every later step may end in the error page.
    void BeginInit(int argc, char** argv) override;
    const char* ContentType() const override { return "text/html"; }
    std::optional<Reply> ReadRequestInput() override;
    bool LoadSettings() override;
    // Loads the session, then claims the variables the pages own from the form's fields.
    void EndInit() override;
    // The request's name; a form sent from another web site is refused here, for every page.
    std::optional<Reply> TakeRequestName(std::string& name) override;
    const char* Banner() const override;
    // Its warnings have no effect, so the catalogue is read only by a page that shows an
    // event's message or groups the event log.
    bool LoadsCatalogueAtStart() const override { return false; }

  private:
    // Renders `prototype`; a prototype that cannot be rendered gives Fatal's reply after the
    // session file is deleted.
    void RenderPage(const std::string& prototype);
    // Sets "err_msg", renders the error page, or prints the fallback page; then deletes the
    // session file.
    void ShowErrorPage(const std::string& message);

    std::unique_ptr<HtxProcessor> processor_;
    std::string requestName_;
    std::string requestToken_;
    AdminSession session_;
    bool sessionLoaded_ = false;
    // The bytes this request read from or wrote to the session file; empty when unknown.
    std::string storedSession_;
};
