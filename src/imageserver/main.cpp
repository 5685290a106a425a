#include "imageserver/ImageApplication.h"
#include "runtime/RequestLoop.h"

int main(int argc, char** argv) {
    return ServeRequests([&](Env& env) {
        ImageApplication app;
        app.UsePlatform(env);
        app.Serve(argc, argv);
    });
}
