#include "admin/AdminApplication.h"

namespace {
AdminApplication theApplication;
}

int main(int argc, char** argv) {
    return theApplication.Dispatch(argc, argv);
}
