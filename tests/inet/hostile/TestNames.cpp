// Names that only these tests know, looked up by this program's getaddrinfo, which the
// libraries it loads call in place of the C library's:
// - "slow.test" takes three seconds, then finds 127.0.0.1;
// - "v6only.test" finds ::1 alone;
// - "v4v6.test" finds 127.0.0.1 first, then ::1.
#include <dlfcn.h>
#include <netdb.h>

#include <chrono>
#include <cstring>
#include <thread>

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** result) {
    using Lookup = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const Lookup real = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, "getaddrinfo"));
    if (node == nullptr) {
        return real(node, service, hints, result);
    }
    if (std::strcmp(node, "slow.test") == 0) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        return real("127.0.0.1", service, hints, result);
    }
    if (std::strcmp(node, "v6only.test") == 0) {
        return real("::1", service, hints, result);
    }
    if (std::strcmp(node, "v4v6.test") == 0) {
        // Two answers joined into one list; the C library frees each entry on its own.
        addrinfo* first = nullptr;
        addrinfo* second = nullptr;
        const int v4 = real("127.0.0.1", service, hints, &first);
        const int v6 = real("::1", service, hints, &second);
        if (v4 != 0) {
            *result = second;
            return v6;
        }
        addrinfo* last = first;
        while (last->ai_next != nullptr) {
            last = last->ai_next;
        }
        last->ai_next = v6 == 0 ? second : nullptr;
        *result = first;
        return 0;
    }
    return real(node, service, hints, result);
}
