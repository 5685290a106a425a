// A window host that shows nothing: it answers the credentials dialog as a user would, from
// $QUAR_TEST_DIALOG ("user:password" typed and OK pressed; anything else: Cancel), and adds a
// line to the file $QUAR_TEST_DIALOG_LOG for each dialog it was asked to show.
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "inet/dialog/CredentialsModel.h"
#include "inet/dialog/DialogResult.h"
#include "inet/dialog/WindowHostAbi.h"

extern "C" __attribute__((visibility("default"))) int QuarWindowHostRun(
    const QuarDialogModel* model, void*) {
    if (const char* log = getenv("QUAR_TEST_DIALOG_LOG")) {
        if (FILE* file = fopen(log, "a")) {
            fprintf(file, "%s|%s\n", model->dialog->caption,
                    model->text(model->context, inet::CredentialsModel::IdUser));
            fclose(file);
        }
    }
    const char* answer = getenv("QUAR_TEST_DIALOG");
    const std::string given = answer != nullptr ? answer : "";
    const size_t colon = given.find(':');
    if (colon == std::string::npos) {
        return model->notify(model->context, inet::DialogCancel, QuarClicked, nullptr);
    }
    model->notify(model->context, inet::CredentialsModel::IdUser, QuarEditChange,
                  given.substr(0, colon).c_str());
    model->notify(model->context, inet::CredentialsModel::IdPassword, QuarEditChange,
                  given.substr(colon + 1).c_str());
    return model->notify(model->context, inet::DialogOk, QuarClicked, nullptr);
}
