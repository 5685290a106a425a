#include "imageserver/ImageApplication.h"

namespace {
ImageApplication theApplication;
}  // namespace

int main(int argc, char** argv) {
    theApplication.Serve(argc, argv);
}
