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

    // The entry point's body. Returns only when start-up fails.
    int Dispatch(int argc, char** argv) override;

    // A diagnostic line when event logging is on, then the reply words "ACK_ERR" and the
    // message.
    [[noreturn]] void Fatal(const char* format, ...) override;
    // With event logging on: an event line, then the reply words "ACK_ERR" and the event's
    // display text, and the end; with logging off it returns without effect.
    void RaiseCode(EventRecord& event, const char* code) override;

    CKvArchive& InputArchive() { return *inputArchive_; }

    static constexpr const char* kBanner = "Orvelle Pellmora version 2.0 (Aug 27 2002)";

  protected:
    const char* ContentType() const override { return "text/plain"; }
    void ReadRequestInput() override;
    bool LoadSettings() override;

  private:
    [[noreturn]] void ReplyError(const std::string& message);
    // Makes the input stream hold `text` and the tokenizer and archive read it from the start.
    void AttachInput(std::string text);

    std::unique_ptr<MemoryStream> input_;
    std::unique_ptr<CKvTokenizer> inputTokenizer_;
    std::unique_ptr<CKvArchive> inputArchive_;
};
