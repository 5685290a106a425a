// The application object of a server program: one per request, initialised from the request's
// CGI environment, asked to run the request through one handler. Handlers and error paths
// compute a Reply, which the application gives once; nothing here ends the process.
#pragma once

#include <cstdarg>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "eventlog/EventRecord.h"
#include "eventlog/MessageCatalogue.h"
#include "runtime/Reply.h"
#include "settings/ServerSettings.h"

class CKvArchive;
class Env;
struct ReplyChannel;

class CgiApplication {
  public:
    CgiApplication();
    virtual ~CgiApplication();
    CgiApplication(const CgiApplication&) = delete;
    CgiApplication& operator=(const CgiApplication&) = delete;

    // The whole request: start-up (from "tstin" when QUAR_TEST_INPUT is set and not empty),
    // then `dispatch` with the request name the program takes from its input, both inside one
    // catch-all; then the reply, given once, and standard output flushed.
    void Run(int argc, char** argv, const std::function<Reply(const std::string& name)>& dispatch);

    // Gives `reply`: the banner and a text as they stand; nothing for kNone. Programs with
    // pages or error replies give those.
    virtual void Answer(const Reply& reply);

    // The banner of the endpoint and the image program; the administration program has its own.
    static constexpr const char* kBanner = "Orvelle Pellmora version 2.0 (Aug 27 2002)";

    // Reports a formatted error; the reply that ends the request.
    virtual Reply Fatal(const char* format, ...);
    // Reports a formatted non-fatal message and returns.
    virtual void Warning(const char* format, ...);
    // Reports an error by message code; the reply that ends the request.
    virtual Reply RaiseCode(EventRecord& event, const char* code);
    // Appends an event by message code to the event log when event logging is on.
    virtual void LogCode(EventRecord& event, const char* code);
    // Loads the message catalogue from the working directory.
    virtual void LoadCatalogue();

    // The data directory, ending with "/", or empty when it is not configured. The first
    // successful read of the registry is kept for the rest of the request; a failed read is
    // tried again on the next call.
    const std::string& DataDirectory();

    // Makes the first write to a web server that has gone (its client left) end the process,
    // as SIGPIPE ends any filter program: web servers ignore SIGPIPE and their CGI programs
    // inherit that, so without this a program whose reader is gone would carry on to the end
    // of its work for nobody. Called first thing by every program run as CGI.
    static void EndWhenReaderGoes();

    // What the program takes from the system: registry, data files, logs, clock and random
    // source. Env::Default() unless UsePlatform chose another.
    Env& Platform() { return *env_; }
    // Replaces the system for this application object (tests hand in doubles). Called before
    // Start only: what Start has read stays read. `env` must outlive the application object.
    void UsePlatform(Env& env) { env_ = &env; }

    ServerSettings& Settings() { return settings_; }
    bool SettingsLoaded() const { return settingsLoaded_; }
    EventRecord& Event() { return event_; }
    // The message catalogue; loaded here at its first use when Start did not load it.
    const MessageCatalogue& Catalogue();
    const std::string& ClientAddress() const { return clientAddress_; }
    const std::string& ProxyAddress() const { return proxyAddress_; }
    const std::string& RemoteHost() const { return remoteHost_; }
    // The storing archive over standard output that replies are written to; null until
    // start-up has made it.
    CKvArchive* ReplyArchive();

  protected:
    // Start-up from the CGI environment (or, with testInput, from the file "tstin"): nothing
    // when the request goes on, else the reply that ends it (a reply writer or archive that
    // cannot be made: kNone, the failure already printed).
    std::optional<Reply> Start(int argc, char** argv, bool testInput);

    // Steps of Start that differ between programs.
    virtual void BeginInit(int argc, char** argv) { (void)argc, (void)argv; }
    virtual const char* ContentType() const = 0;
    // Nothing, or the reply that ends the request at once.
    virtual std::optional<Reply> ReadRequestInput() = 0;
    // Loads the settings record; false when there is none or it cannot be read.
    virtual bool LoadSettings() { return false; }
    virtual void EndInit() {}
    // The name of the request to run, taken once start-up is done into `name`; or the reply
    // that answers at once. None and the empty name by default.
    virtual std::optional<Reply> TakeRequestName(std::string& name) {
        name.clear();
        return std::nullopt;
    }
    virtual const char* Banner() const { return kBanner; }
    // Whether Start loads the message catalogue (true by default). A program whose warnings
    // have no effect can leave it to the first message that needs it.
    virtual bool LoadsCatalogueAtStart() const { return true; }
    // Reports a "tstin" that cannot be opened (`error` is errno): the message code
    // "ERR_NOSTDIN" by default.
    virtual Reply ReportNoTestInput(int error);

    // Writes the HTTP header of a reply of `contentType` that is never cached; it reaches the web
    // server with the reply's first bytes.
    static void WriteHeader(const char* contentType);

    // The message of a format and its arguments, at most 4095 characters.
    static std::string FormatText(const char* format, va_list args);
    // Appends a diagnostic line when event logging is on. With forceWhenNoDataDirectory, an
    // empty data directory switches event logging on first.
    void WriteDiagnostic(const std::string& message, bool forceWhenNoDataDirectory);
    // Reads the client's addresses into the application and its event.
    void ReadClientAddress();
    // The request body of a CGI request into `body` (nothing without CONTENT_LENGTH), or up to
    // testInputLength bytes of "tstin" in test-input mode. A length beyond the limit gives the
    // reply of Fatal; a "tstin" that cannot be opened that of ReportNoTestInput.
    std::optional<Reply> ReadRequestBody(std::size_t testInputLength,
                                         std::optional<std::string>& body);

    ServerSettings settings_;
    bool settingsLoaded_ = false;
    std::string clientAddress_;
    std::string proxyAddress_;
    std::string remoteHost_;
    MessageCatalogue catalogue_;
    bool catalogueLoaded_ = false;
    EventRecord event_;
    std::unique_ptr<ReplyChannel> reply_;  // reply writer and reply archive
    bool cgiMode_ = false;
    bool testInput_ = false;

  private:
    bool CreateReplyArchive();

    Env* env_;

    std::optional<std::string> dataDirectory_;
};
