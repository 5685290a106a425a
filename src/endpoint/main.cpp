#include "endpoint/EndpointApplication.h"
#include "runtime/RequestLoop.h"
#include "runtime/RunRequest.h"

namespace {

Reply HandleTest(EndpointApplication&) {
    return Reply::Banner();
}

const RequestEntry<EndpointApplication> kEndpointRows[] = {
    {"test", HandleTest},
    {nullptr, nullptr},
};
// The first word of a request is its name; an empty word is unknown like any other.
const RequestTable<EndpointApplication> kEndpointRequests = {kEndpointRows, nullptr};

}  // namespace

int main(int argc, char** argv) {
    return ServeRequests([&](Env& env) {
        EndpointApplication app;
        app.UsePlatform(env);
        RunProgram(app, argc, argv, kEndpointRequests);
    });
}
