// The application object of a server program: one per process, built before main runs,
// initialised from the CGI environment, asked to run the request through one handler. Every
// handler and every error path ends the process with exit status 0.
#pragma once

#include <cstdarg>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "eventlog/EventRecord.h"
#include "eventlog/MessageCatalogue.h"
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

    // Start-up from the CGI environment (or, with testInput, from the file "tstin"). False
    // only when the reply writer or archive cannot be made; the failure is already printed.
    virtual bool Init(int argc, char** argv, bool testInput);

    // The entry point's body: start-up (from "tstin" when QUAR_TEST_INPUT is set and not
    // empty), then `dispatch` with the request name the program takes from its input, both
    // inside one catch-all. Returns only when start-up fails; every other path ends the
    // process with status 0.
    int Run(int argc, char** argv, const std::function<void(const std::string& name)>& dispatch);

    // Writes the program's banner, without a line end, and ends the process.
    [[noreturn]] void ShowBanner();
    // The banner of the endpoint and the image program; the administration program has its own.
    static constexpr const char* kBanner = "Orvelle Pellmora version 2.0 (Aug 27 2002)";

    // Reports a formatted error and ends the process. Does not return.
    [[noreturn]] virtual void Fatal(const char* format, ...);
    // Reports a formatted non-fatal message and returns.
    virtual void Warning(const char* format, ...);
    // Reports an error by message code; ends the process unless the program says otherwise.
    virtual void RaiseCode(EventRecord& event, const char* code);
    // Appends an event by message code to the event log when event logging is on.
    virtual void LogCode(EventRecord& event, const char* code);
    // Loads the message catalogue from the working directory.
    virtual void LoadCatalogue();

    // The data directory, ending with "/", or empty when it is not configured. The first
    // successful read of the registry is kept for the rest of the process; a failed read is
    // tried again on the next call.
    const std::string& DataDirectory();

    // Ends the process with status 0 after flushing standard output.
    [[noreturn]] static void EndProcess();

    // Makes the first write to a web server that has gone (its client left) end the process,
    // as SIGPIPE ends any filter program: web servers ignore SIGPIPE and their CGI programs
    // inherit that, so without this a program whose reader is gone would carry on to the end
    // of its work for nobody. Called first thing by every program.
    static void EndWhenReaderGoes();

    // What the program takes from the system: registry, data files, logs, clock and random
    // source. Env::Default() unless UsePlatform chose another.
    Env& Platform() { return *env_; }
    // Replaces the system for this application object (tests hand in doubles). Called before
    // Init only: what Init has read stays read. `env` must outlive the application object.
    void UsePlatform(Env& env) { env_ = &env; }

    ServerSettings& Settings() { return settings_; }
    bool SettingsLoaded() const { return settingsLoaded_; }
    EventRecord& Event() { return event_; }
    const MessageCatalogue& Catalogue() const { return catalogue_; }
    const std::string& ClientAddress() const { return clientAddress_; }
    const std::string& ProxyAddress() const { return proxyAddress_; }
    const std::string& RemoteHost() const { return remoteHost_; }
    bool CgiMode() const { return cgiMode_; }
    // The storing archive over standard output that replies are written to; null until
    // start-up has made it.
    CKvArchive* ReplyArchive();

  protected:
    // Steps of Init that differ between programs.
    virtual void BeginInit(int argc, char** argv) { (void)argc, (void)argv; }
    virtual const char* ContentType() const = 0;
    virtual void ReadRequestInput() = 0;
    // Loads the settings record; false when there is none or it cannot be read.
    virtual bool LoadSettings() { return false; }
    virtual void EndInit() {}
    // The name of the request to run, taken once start-up is done; may answer at once and end
    // the process. None by default.
    virtual std::string TakeRequestName() { return std::string(); }
    virtual const char* Banner() const { return kBanner; }
    // Reports a "tstin" that cannot be opened (`error` is errno): the message code
    // "ERR_NOSTDIN" by default.
    virtual void ReportNoTestInput(int error);

    // Writes the HTTP header of a reply of `contentType` that is never cached, and flushes it.
    static void WriteHeader(const char* contentType);

    // The message of a format and its arguments, at most 4095 characters.
    static std::string FormatText(const char* format, va_list args);
    // Appends a diagnostic line when event logging is on. With forceWhenNoDataDirectory, an
    // empty data directory switches event logging on first.
    void WriteDiagnostic(const std::string& message, bool forceWhenNoDataDirectory);
    // Reads the client's addresses into the application and its event.
    void ReadClientAddress();
    // The request body of a CGI request (nothing without CONTENT_LENGTH), or up to
    // testInputLength bytes of "tstin" in test-input mode. A length beyond the limit ends in
    // Fatal; a "tstin" that cannot be opened goes to ReportNoTestInput and gives nothing.
    std::optional<std::string> ReadRequestBody(std::size_t testInputLength);

    ServerSettings settings_;
    bool settingsLoaded_ = false;
    std::string clientAddress_;
    std::string proxyAddress_;
    std::string remoteHost_;
    MessageCatalogue catalogue_;
    EventRecord event_;
    std::unique_ptr<ReplyChannel> reply_;  // reply writer and reply archive
    bool cgiMode_ = false;
    bool testInput_ = false;

  private:
    bool CreateReplyArchive();

    Env* env_;

    std::optional<std::string> dataDirectory_;
};
