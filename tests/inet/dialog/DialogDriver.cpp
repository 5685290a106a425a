// Shows the library's dialogs for the window host tests, which drive them with real input
// events. Usage:
//   dialog_driver settings SAVE [--title T] [--parent XID] [--direct]
//   dialog_driver two SAVE_FIRST SAVE_SECOND
//   dialog_driver credentials OUT [--prompt P] [--user U] [--password P]
// "settings" stores the record in SAVE only after OK, as the connection does; "two" shows the
// dialogs "First" and "Second" from two threads at once. Each prints the results on stdout.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <thread>

#include "QuarInet.h"
#include "inet/dialog/CredentialsDialog.h"
#include "inet/dialog/SettingsDialog.h"

namespace {

const char* Option(int argc, char** argv, const char* name) {
    for (int i = 0; i + 1 < argc; ++i) {
        if (strcmp(argv[i], name) == 0) {
            return argv[i + 1];
        }
    }
    return nullptr;
}

const char* Text(int argc, char** argv, const char* name) {
    const char* value = Option(argc, argv, name);
    return value ? value : "";
}

bool Flag(int argc, char** argv, const char* name) {
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], name) == 0) {
            return true;
        }
    }
    return false;
}

bool Store(const QuarInetOptions& options, const char* path) {
    FILE* file = fopen(path, "w");
    if (!file) {
        return false;
    }
    fprintf(file,
            "UseIEsettings=%d\nProxy=%d\nProxyAddress=%s\nProxyPort=%u\nProxyAuthorization=%d\n"
            "ProxyLog=%s\nProxyPwd=%s\n",
            options.UseIEsettings, options.Proxy, options.ProxyAddress, options.ProxyPort,
            options.ProxyAuthorization, options.ProxyLog, options.ProxyPwd);
    return fclose(file) == 0;
}

int Settings(const char* save, const char* title, void* parent, bool direct) {
    QuarInetOptions options;
    options.DialogTitle = title;
    if (direct) {
        options.UseIEsettings = 0;
    }
    int result = inet::ShowSettingsDialog(options, parent);
    if (result == inet::DialogOk && !Store(options, save)) {
        return -1;
    }
    return result;
}

int Credentials(int argc, char** argv) {
    char user[64];
    char password[64];
    snprintf(user, sizeof user, "%s", Text(argc, argv, "--user"));
    snprintf(password, sizeof password, "%s", Text(argc, argv, "--password"));
    int result = inet::ShowCredentialsDialog(nullptr, Option(argc, argv, "--prompt"), user,
                                             sizeof user, password, sizeof password, nullptr);
    FILE* out = fopen(argv[2], "w");
    if (!out) {
        return 1;
    }
    fprintf(out, "user=%s\npassword=%s\n", user, password);
    fclose(out);
    printf("result %d\n", result);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: dialog_driver settings|two|credentials FILE ...\n");
        return 2;
    }
    std::string mode = argv[1];
    if (mode == "credentials") {
        return Credentials(argc, argv);
    }
    if (mode == "two" && argc >= 4) {
        int first = 0;
        int second = 0;
        std::thread one([&] { first = Settings(argv[2], "First", nullptr, false); });
        std::thread two([&] { second = Settings(argv[3], "Second", nullptr, false); });
        one.join();
        two.join();
        printf("First %d\nSecond %d\n", first, second);
        return 0;
    }
    const char* parent = Option(argc, argv, "--parent");
    void* owner = parent
                      ? reinterpret_cast<void*>(static_cast<uintptr_t>(strtoul(parent, nullptr, 0)))
                      : nullptr;
    printf("result %d\n",
           Settings(argv[2], Option(argc, argv, "--title"), owner, Flag(argc, argv, "--direct")));
    return 0;
}
