// The platform internet library's entry points as the browser-settings transport binds them:
// the module "WININET.DLL" (libquarwininet.so, see ModuleLoader.h) and its functions looked up
// by name.
#pragma once

#include <memory>

#include "inet/ModuleLoader.h"
#include "inet/wininet/WinInetApi.h"

// Defined at global scope: the public header names it for the transport's test constructor.
struct QuarInetWinInetTable {
    // Null when the module did not load or lacks a required entry point.
    std::unique_ptr<inet::Module> module;
    QuarHttpOpenRequestAFn HttpOpenRequestA = nullptr;
    QuarHttpQueryInfoAFn HttpQueryInfoA = nullptr;
    QuarHttpSendRequestAFn HttpSendRequestA = nullptr;
    QuarInternetCloseHandleFn InternetCloseHandle = nullptr;
    QuarInternetConnectAFn InternetConnectA = nullptr;
    QuarInternetOpenAFn InternetOpenA = nullptr;
    QuarInternetQueryDataAvailableFn InternetQueryDataAvailable = nullptr;
    QuarInternetReadFileFn InternetReadFile = nullptr;
    QuarInternetSetStatusCallbackFn InternetSetStatusCallback = nullptr;
    // Optional: looked up, never called.
    QuarInternetQueryOptionAFn InternetQueryOptionA = nullptr;
    // Optional: time-outs are set only when the library has it.
    QuarInternetSetOptionAFn InternetSetOptionA = nullptr;
    QuarInternetErrorDlgFn InternetErrorDlg = nullptr;
    // Optional: a body from the caller's source is sent piece by piece when all three are
    // there, else gathered into one piece for HttpSendRequestA.
    QuarHttpSendRequestExAFn HttpSendRequestExA = nullptr;
    QuarInternetWriteFileFn InternetWriteFile = nullptr;
    QuarHttpEndRequestAFn HttpEndRequestA = nullptr;
    // The calling thread's last error, as the platform's GetLastError reads it.
    QuarWinInetGetLastErrorFn GetLastError = nullptr;

    bool Available() const { return module != nullptr; }
};

namespace inet {

// Looks the entry points up in `module` (null: an unavailable table). A module that lacks a
// required entry point gives an unavailable table and is released.
std::unique_ptr<QuarInetWinInetTable> BindWinInetTable(std::unique_ptr<Module> module);

// The process's table: "WININET.DLL" loaded and bound on the first call, kept until the
// library is unloaded. Never null; check available().
const QuarInetWinInetTable& ProcessWinInetTable();

}  // namespace inet
