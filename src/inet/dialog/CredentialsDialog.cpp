// The credentials dialog shown through the window host.
#include "inet/dialog/CredentialsDialog.h"

#include "inet/dialog/CredentialsModel.h"

namespace inet {

int ShowCredentialsDialog(const char* caption, const char* prompt, char* user, size_t userSize,
                          char* password, size_t passwordSize, void* parent) {
    if (!user || !password || userSize == 0 || passwordSize == 0) {
        return DialogCancel;
    }
    CredentialsModel model(caption, prompt, user, userSize, password, passwordSize);
    return RunDialog(model, parent);
}

}  // namespace inet
