#include "inet/WinInetTable.h"

namespace inet {
namespace {

template <typename Fn>
bool Bind(const Module& module, const char* name, Fn& entry) {
    entry = reinterpret_cast<Fn>(module.Lookup(name));
    return entry != nullptr;
}

}  // namespace

std::unique_ptr<QuarInetWinInetTable> BindWinInetTable(std::unique_ptr<Module> module) {
    auto table = std::make_unique<QuarInetWinInetTable>();
    if (module == nullptr) {
        return table;
    }
    // Looked up in the platform library's order; the two option functions may be missing.
    bool complete = Bind(*module, "HttpOpenRequestA", table->HttpOpenRequestA);
    complete = Bind(*module, "HttpQueryInfoA", table->HttpQueryInfoA) && complete;
    complete = Bind(*module, "HttpSendRequestA", table->HttpSendRequestA) && complete;
    complete = Bind(*module, "InternetCloseHandle", table->InternetCloseHandle) && complete;
    complete = Bind(*module, "InternetConnectA", table->InternetConnectA) && complete;
    complete = Bind(*module, "InternetOpenA", table->InternetOpenA) && complete;
    complete =
        Bind(*module, "InternetQueryDataAvailable", table->InternetQueryDataAvailable) && complete;
    complete = Bind(*module, "InternetReadFile", table->InternetReadFile) && complete;
    complete =
        Bind(*module, "InternetSetStatusCallback", table->InternetSetStatusCallback) && complete;
    Bind(*module, "InternetQueryOptionA", table->InternetQueryOptionA);
    Bind(*module, "InternetSetOptionA", table->InternetSetOptionA);
    complete = Bind(*module, "InternetErrorDlg", table->InternetErrorDlg) && complete;
    complete = Bind(*module, "QuarWinInetGetLastError", table->GetLastError) && complete;
    Bind(*module, "HttpSendRequestExA", table->HttpSendRequestExA);
    Bind(*module, "InternetWriteFile", table->InternetWriteFile);
    Bind(*module, "HttpEndRequestA", table->HttpEndRequestA);
    if (complete) {
        table->module = std::move(module);
    } else {
        *table = QuarInetWinInetTable();
    }
    return table;
}

const QuarInetWinInetTable& ProcessWinInetTable() {
    // A once-only initialisation: two requests starting together bind it once.
    static const std::unique_ptr<QuarInetWinInetTable> table =
        BindWinInetTable(LoadModule("WININET.DLL"));
    return *table;
}

}  // namespace inet
