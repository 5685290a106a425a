// The rules of the credentials dialog that asks for a user name and a password when a server
// or proxy wants them: the fields start with the caller's texts and reach the caller's buffers
// only when the user presses OK.
#pragma once

#include <cstddef>

#include <string>

#include "inet/dialog/DialogModel.h"

namespace inet {

class CredentialsModel final : public DialogModel {
  public:
    enum : int { IdPrompt = 1100, IdUser = 1101, IdPassword = 1102 };

    // Opens over the caller's buffers (each non-null, of size > 0 bytes, holding a NUL-terminated
    // text), which must outlive the model. Null `caption` gives the default caption; null `prompt`
    // leaves the prompt line empty.
    CredentialsModel(const char* caption, const char* prompt, char* user, size_t userSize,
                     char* password, size_t passwordSize);

    const QuarDialogTemplate& Template() const override { return template_; }
    // OK writes both fields into the caller's buffers (cut to fit) and ends with DialogOk; Cancel
    // ends with DialogCancel and leaves them alone.
    int Notify(int id, int notification, const char* text) override;
    bool Enabled(int) const override { return true; }
    bool Checked(int) const override { return false; }
    const char* Text(int id) const override;

  private:
    QuarDialogControl controls_[7];
    QuarDialogTemplate template_;
    char* userOut_;
    size_t userSize_;
    char* passwordOut_;
    size_t passwordSize_;
    std::string user_, password_;
};

}  // namespace inet
