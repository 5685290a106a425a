#include "imageserver/ImageApplication.h"

namespace {
ImageApplication theApplication;
}

int main(int argc, char** argv) {
    theApplication.Run(argc, argv);
}
