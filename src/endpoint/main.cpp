#include "endpoint/EndpointApplication.h"
#include "runtime/RunRequest.h"

namespace {

EndpointApplication theApplication;

void HandleTest(EndpointApplication& app) {
    app.ShowBanner();
}

const RequestEntry<EndpointApplication> kEndpointRows[] = {
    {"test", HandleTest},
    {nullptr, nullptr},
};
// The first word of a request is its name; an empty word is unknown like any other.
const RequestTable<EndpointApplication> kEndpointRequests = {kEndpointRows, nullptr};

}  // namespace

int main(int argc, char** argv) {
    return RunProgram(theApplication, argc, argv, kEndpointRequests);
}
