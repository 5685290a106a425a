#include "imageserver/ImageApplication.h"
#include "runtime/RequestLoop.h"

int main(int argc, char** argv) {
    return ServeRequests([&] {
        ImageApplication app;
        app.Serve(argc, argv);
    });
}
