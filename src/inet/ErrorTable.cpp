#include "inet/ErrorTable.h"

#include <cstddef>

namespace inet {
namespace {

struct ErrorText {
    uint32_t code;
    const char* text;
};

// Windows Sockets codes.
constexpr ErrorText kSocketErrors[] = {
    {10004, "Blocking Windows Sockets call was canceled"},
    {10009, "WSAEBADF"},
    {10013, "Access denied"},
    {10014, "Invalid pointer provided to Windows Sockets function"},
    {10022, "Invalid parameter provided to Windows Sockets call"},
    {10024, "No more sockets available"},
    {10035, "Windows Sockets operation would block"},
    {10036, "Blocking Windows Sockets operatior is in progress"},
    {10037, "A nonblocking Windows Sockets operation is already in progress"},
    {10038, "Invalid descriptor provided to Windows Sockets function"},
    {10040, "Buffer was too large"},
    {10041, "Specified protocol is wrong for given socket"},
    {10043, "Specified protocol is not supported by Windows Sockets"},
    {10044, "Specified socket type is not supported by Windows Sockets"},
    {10045, "Windows Sockets operation is not supported"},
    {10047, "Specified address family is not supported by Windows Sockets"},
    {10048, "Address provided to Windows Sockets call is already in use"},
    {10049, "Remove address is not valid"},
    {10050, "Windows Sockets network subsystem has failed"},
    {10051, "Network is unreachable"},
    {10052, "Connection has been reset by peer"},
    {10053, "Connection was terminated"},
    {10054, "Connection has been reset by peer"},
    {10055, "No buffer space is available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Socket has been shut down"},
    {10060, "Windows Sockets operation timed out"},
    {10061, "Connection was forcefully rejected"},
    {10065, "Remove host is unreachable"},
    {10067, "Limit for the number of tasks supported by Windows Sockets has been reached"},
    {10091, "Windows Sockets Network subsystem is not ready for communication"},
    {10092, "Requested Windows Sockets version is not supported"},
    {10093, "Windows Sockets subsystem is not initialized"},
    {11001, "Authoritative DNS host not found"},
    {11002, "Nonauthoritative DNS host not found or server failure"},
    {11003, "Nonrecoverable error has occured"},
    {11004, "No data record for supplied name"},
};

// WinInet codes.
constexpr ErrorText kWinInetErrors[] = {
    {12001, "WinInet: out of handles"},
    {12002, "WinInet: operation timed out"},
    {12003, "Extended error has occured"},
    {12004, "WinInet: internal error"},
    {12005, "WinInet: invalid URL"},
    {12006, "WinInet: unrecognized scheme"},
    {12007, "WinInet: failed to resolve server name"},
    {12008, "WinInet: protocol not found"},
    {12009, "WinInet: invalid option"},
    {12010, "WinInet: bad option length"},
    {12011, "WinInet: failed to set option"},
    {12012, "WinInet: network shutdown"},
    {12013, "WinInet: incorrect user name"},
    {12014, "WinInet: incorrect password"},
    {12015, "WinInet: login failure"},
    {12016, "WinInet: invalid operation"},
    {12017, "WinInet: operation has been canceled"},
    {12018, "WinInet: incorect handle type"},
    {12019, "WinInet: incorrect handle state"},
    {12020, "WinInet: incorrect proxy request"},
    {12021, "WinInet: registry value not found"},
    {12022, "WinInet: bad registry parameter"},
    {12023, "WinInet: no direct access allowed"},
    {12024, "WinInet: no context given"},
    {12025, "WinInet: no callback"},
    {12026, "WinInet: request pending"},
    {12027, "WinInet: incorrect format"},
    {12028, "WinInet: item not found"},
    {12029, "WinInet: cannot connect"},
    {12030, "WinInet: connection aborted"},
    {12031, "WinInet: connectin reset by peer"},
    {12032, "WinInet: force retry"},
    {12033, "WinInet: invalid proxy request"},
    {12034, "WinInet: ERROR_INTERNET_NEED_UI"},
    {12036, "WinInet: handle already exist"},
    {12037, "WinInet: security certificate data invalid"},
    {12038, "WinInet: ERROR_INTERNET_SEC_CERT_CN_INVALID"},
    {12039, "WinInet: http to https redirection"},
    {12040, "WinInet: https to http redirection"},
    {12041, "WinInet: mixed security"},
    {12042, "WinInet: post is not secure"},
    {12043, "WinInet: post is not secure"},
    {12044, "WinInet: client authorization needed"},
    {12045, "WinInet: ERROR_INTERNET_INVALID_CA"},
    {12046, "WinInet: ERROR_INTERNET_CLIENT_AUTH_NOT_SETUP"},
    {12047, "WinInet: async thread failed"},
    {12048, "WinInet: redirection scheme changed"},
    {12049, "WinInet: dialog pending"},
    {12050, "WinInet: retry dialog"},
    {12052, "WinInet: ERROR_INTERNET_HTTPS_HTTP_SUBMIT_REDIR"},
    {12053, "WinInet: incert cdrom"},
    {12150, "WinInet: http header not found"},
    {12151, "WinInet: downlevel server"},
    {12152, "WinInet: invalid server responce"},
    {12153, "WinInet: invalid header"},
    {12154, "WinInet: invalid query request"},
    {12155, "WinInet: header already exists"},
    {12156, "WinInet: redirect failed"},
    {12157, "WinInet: security channel error"},
    {12158, "WinInet: unable to cache file"},
    {12159, "WinInet: TCP/IP is not installed"},
    {12160, "WinInet: not redirected"},
    {12161, "WinInet: cookie needs confirmation"},
    {12162, "WinInet: coookie declined"},
    {12163, "WinInet: disconnected"},
    {12164, "WinInet: server unreachable"},
    {12165, "WinInet: proxy server unreachable"},
    {12166, "WinInet: bad proxy autoconfiguration script"},
    {12167, "WinInet: unable to download script"},
    {12168, "WinInet: redirect needs confirmation"},
    {12169, "WinInet: ERROR_INTERNET_SEC_INVALID_CERT"},
    {12170, "WinInet: ERROR_INTERNET_SEC_CERT_REVOKED"},
};

// The library's own codes, of the application range.
constexpr ErrorText kLibraryErrors[] = {
    {0x2F000001, "The content of the response could not be decoded"},
};

template <size_t N>
const char* Search(const ErrorText (&table)[N], uint32_t code) {
    for (const ErrorText& entry : table) {
        if (entry.code == code) {
            return entry.text;
        }
    }
    return nullptr;
}

}  // namespace

const char* FindErrorText(uint32_t code) {
    const char* text = Search(kSocketErrors, code);
    text = text != nullptr ? text : Search(kWinInetErrors, code);
    return text != nullptr ? text : Search(kLibraryErrors, code);
}

}  // namespace inet
