// A window host that shows nothing: it answers the credentials dialog as a user would, from
// $QUAR_TEST_DIALOG, a ";" list with one answer per dialog (the last one repeats):
// "user:password" is typed and OK pressed, anything else presses Cancel. Each dialog adds a line
// "caption|user name it started with|prompt" to the file $QUAR_TEST_DIALOG_LOG.
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <string>

#include "inet/dialog/CredentialsModel.h"
#include "inet/dialog/DialogResult.h"
#include "inet/dialog/WindowHostAbi.h"

namespace {

// The answer for the dialog after `shown` earlier ones.
std::string Answer(size_t shown) {
    const char* list = getenv("QUAR_TEST_DIALOG");
    std::string answers = list != nullptr ? list : "";
    for (size_t i = 0; i < shown; ++i) {
        const size_t semicolon = answers.find(';');
        if (semicolon == std::string::npos) {
            break;
        }
        answers.erase(0, semicolon + 1);
    }
    return answers.substr(0, answers.find(';'));
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int QuarWindowHostRun(
    const QuarDialogModel* model, void*) {
    size_t shown = 0;
    const char* log = getenv("QUAR_TEST_DIALOG_LOG");
    if (log != nullptr) {
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);) {
            ++shown;
        }
        std::ofstream(log, std::ios::app)
            << model->dialog->caption << "|"
            << model->text(model->context, inet::CredentialsModel::IdUser) << "|"
            << model->dialog->controls[0].text << "\n";
    }
    const std::string given = Answer(shown);
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
