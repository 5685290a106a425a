// The FastCGI library's one host-name lookup, replaced: it resolves the host of a "host:port"
// address when the library opens a listening socket of its own (FCGX_OpenSocket). The programs
// never do that: the web server hands them the listening socket as standard input. Linked
// into each server program with -Wl,--wrap=gethostbyname, so that the C library's resolver,
// which a static program could only load from the shared libraries of the glibc it was built
// with, is not linked in. A program that did ask for a host gets "unknown host" and no socket.
#include <netdb.h>

extern "C" hostent* __wrap_gethostbyname(const char* /*name*/) {
    h_errno = NO_RECOVERY;
    return nullptr;
}
