#include "endpoint/EndpointApplication.h"

namespace {
EndpointApplication theApplication;
}  // namespace

int main(int argc, char** argv) {
    return theApplication.Dispatch(argc, argv);
}
