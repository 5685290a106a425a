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

    // A diagnostic line when event logging is on; the reply is the words "ACK_ERR" and the
    // message.
    Reply Fatal(const char* format, ...) override;
    // Gives an error reply as the words "ACK_ERR" and its message, the others as the runtime
    // does.
    void Answer(const Reply& reply) override;

    CKvArchive& InputArchive() { return *inputArchive_; }

  protected:
    const char* ContentType() const override { return "text/plain"; }
    // The body as an archive; no body, an empty one or one that starts with a zero byte is
    // answered with the banner.
    std::optional<Reply> ReadRequestInput() override;
    bool LoadSettings() override;
    // The first word of the archive; an input without text is answered with the banner.
    std::optional<Reply> TakeRequestName(std::string& name) override;
    Reply ReportNoTestInput(int error) override;

  private:
    void ReplyError(const std::string& message);
    // Makes the input stream hold `text` and the tokenizer and archive read it from the start.
    void AttachInput(std::string text);

    std::unique_ptr<MemoryStream> input_;
    std::unique_ptr<CKvTokenizer> inputTokenizer_;
    std::unique_ptr<CKvArchive> inputArchive_;
};
