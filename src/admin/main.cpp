#include "admin/AdminApplication.h"
#include "admin/Diagnostics.h"
#include "admin/LogViewerPage.h"
#include "admin/OptionsPage.h"
#include "admin/SessionPages.h"
#include "runtime/RequestLoop.h"
#include "runtime/RunRequest.h"

namespace {

const RequestEntry<AdminApplication> kAdminRows[] = {
    {"init_base", HandleInitBase}, {"login", HandleLogin},
    {"main", HandleMain},          {"options", HandleOptions},
    {"logout", HandleLogout},      {"viewlog", HandleViewLog},
    {"test", HandleBanner},        {"test0", HandleCheckConfiguration},
    {"test2", HandleBanner},       {"test3", HandleBanner},
    {"test5", HandleBanner},       {nullptr, nullptr},
};
// A request without a name gets the first page: the pre-login or the set-up page.
const RequestTable<AdminApplication> kAdminRequests = {kAdminRows, ShowFirstPage};

}  // namespace

int main(int argc, char** argv) {
    return ServeRequests([&](Env& env) {
        AdminApplication app;
        app.UsePlatform(env);
        RunProgram(app, argc, argv, kAdminRequests);
    });
}
