// A name lookup that takes three seconds for the name "slow.test" (then finds 127.0.0.1): this
// program's getaddrinfo, which the libraries it loads call in place of the C library's.
#include <dlfcn.h>
#include <netdb.h>

#include <chrono>
#include <cstring>
#include <thread>

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** result) {
    using Lookup = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const Lookup real = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, "getaddrinfo"));
    if (node != nullptr && std::strcmp(node, "slow.test") == 0) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        node = "127.0.0.1";
    }
    return real(node, service, hints, result);
}
