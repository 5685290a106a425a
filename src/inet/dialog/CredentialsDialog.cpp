// The credentials dialog shown through the window host.
#include "inet/dialog/CredentialsDialog.h"

#include "inet/dialog/CredentialsModel.h"

namespace inet {

int ShowCredentialsDialog(const char* caption, const char* prompt, char* user, size_t user_size,
                          char* password, size_t password_size, void* parent) {
    if (!user || !password || user_size == 0 || password_size == 0) {
        return DialogCancel;
    }
    CredentialsModel model(caption, prompt, user, user_size, password, password_size);
    return RunDialog(model, parent);
}

}  // namespace inet
