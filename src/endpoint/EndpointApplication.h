// quarnbx: the request endpoint. A client posts a text archive whose first word names the
// request; the answer is a text archive under text/plain, errors an "ACK_ERR" reply.
#pragma once

#include <memory>
#include <string>

#include "runtime/CgiApplication.h"

class CKvArchive;
class CKvTokenizer;
class MemoryStream;

class EndpointApplication : public CgiApplication {
  public:
    EndpointApplication();
    ~EndpointApplication() override;

    // A diagnostic line when event logging is on, then the reply words "ACK_ERR" and the
    // message.
    [[noreturn]] void Fatal(const char* format, ...) override;
    // With event logging on: an event line, then the reply words "ACK_ERR" and the event's
    // display text, and the end; with logging off it returns without effect.
    void RaiseCode(EventRecord& event, const char* code) override;

    CKvArchive& InputArchive() { return *inputArchive_; }

  protected:
    const char* ContentType() const override { return "text/plain"; }
    // The body as an archive; no body, an empty one or one that starts with a zero byte is
    // answered with the banner.
    void ReadRequestInput() override;
    bool LoadSettings() override;
    // The first word of the archive; an input without text is answered with the banner.
    std::string TakeRequestName() override;
    void ReportNoTestInput(int error) override;

  private:
    [[noreturn]] void ReplyError(const std::string& message);
    // Makes the input stream hold `text` and the tokenizer and archive read it from the start.
    void AttachInput(std::string text);

    std::unique_ptr<MemoryStream> input_;
    std::unique_ptr<CKvTokenizer> inputTokenizer_;
    std::unique_ptr<CKvArchive> inputArchive_;
};
