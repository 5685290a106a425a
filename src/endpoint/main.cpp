#include "endpoint/EndpointApplication.h"

namespace {
EndpointApplication theApplication;
}

int main(int argc, char** argv) {
    return theApplication.Dispatch(argc, argv);
}
