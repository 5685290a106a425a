// quarget: a small command-line HTTP client over the QuarInet library's public interface.
#include <pthread.h>
#include <signal.h>
#include <strings.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <atomic>
#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Arguments.h"
#include "Output.h"
#include "Progress.h"
#include "QuarInet.h"
#include "Upload.h"
#include "platform/Decimal.h"
#include "platform/FileUtil.h"

namespace {

struct LibraryFree {
    void operator()(void* block) const { QuarInetFree(block); }
};
using LibraryText = std::unique_ptr<char, LibraryFree>;

int Fail(const std::string& message) {
    std::fprintf(stderr, "quarget: %s\n", message.c_str());
    return 1;
}

// Stores --proxy and --proxy-user under the settings key, over what is stored there.
bool StoreProxySettings(QuarInetHttpConnection& connection, const Arguments& args,
                        std::string& error) {
    QuarInetOptions stored(args.settingsKey.c_str());
    std::string address = stored.ProxyAddress;
    uint32_t port = stored.ProxyPort;
    if (args.proxy) {
        const size_t colon = args.proxy->rfind(':');
        address = args.proxy->substr(0, colon);
        // Beyond the port range either way is held just outside it, and refused below.
        port = colon == std::string::npos
                   ? 80
                   : static_cast<uint32_t>(LeadingDecimal(args.proxy->substr(colon + 1), 0, 65536));
        if (address.empty() || port == 0 || port > 65535) {
            error = "--proxy needs HOST:PORT";
            return false;
        }
    }
    if (address.empty()) {
        error = "--proxy-user needs a proxy: give --proxy HOST:PORT";
        return false;
    }
    std::string user = stored.ProxyLog;
    std::string password = stored.ProxyPwd;
    int authorization = stored.ProxyAuthorization;
    if (args.proxyUser) {
        const size_t colon = args.proxyUser->find(':');
        user = args.proxyUser->substr(0, colon);
        password = args.proxyUser->substr(colon + 1);
        authorization = 1;
    }
    if (!connection.Configure(0, 1, address.c_str(), port, authorization, user.c_str(),
                              password.c_str())) {
        error = "the proxy settings could not be stored under '" + args.settingsKey + "'";
        return false;
    }
    return true;
}

// Breaks the request off on SIGINT or SIGTERM; SIGUSR1 ends the watch.
class InterruptWatch {
  public:
    explicit InterruptWatch(QuarInetHttpRequest& request) {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        sigaddset(&signals_, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
        thread_ = std::thread([this, &request] {
            for (int signal = 0; sigwait(&signals_, &signal) == 0;) {
                if (signal == SIGUSR1) {
                    return;
                }
                interrupted_.store(true);
                request.Abort(0);
            }
        });
    }
    ~InterruptWatch() {
        pthread_kill(thread_.native_handle(), SIGUSR1);
        thread_.join();
    }
    bool interrupted() const { return interrupted_.load(); }

  private:
    sigset_t signals_;
    std::thread thread_;
    std::atomic<bool> interrupted_{false};
};

// --configure: the settings dialog over the key's settings, stored on OK. Without a display
// there is no dialog to show, and nothing changes.
int ConfigureSettings(const std::string& key) {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0')) {
        return Fail("--configure needs a display (DISPLAY is not set); nothing was changed");
    }
    QuarInetHttpConnection connection(key.c_str());
    const std::string caption = "quarget: " + key;
    if (!connection.Configure(caption.c_str(), nullptr)) {
        return Fail("the settings of '" + key +
                    "' were not changed (cancelled, no dialog could be shown, or they could not "
                    "be stored)");
    }
    std::printf("Settings of '%s' stored.\n", key.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const std::optional<Arguments> parsed = ParseArguments(argc, argv, error);
    if (!parsed) {
        std::fprintf(stderr, "quarget: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    const Arguments& args = *parsed;
    if (args.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.version) {
        std::puts("quarget " QUAR_VERSION);
        return 0;
    }
    if (args.configure) {
        return ConfigureSettings(args.settingsKey);
    }
    char scheme[16], host[QuarInetOptions::TextSize], path[8192];
    uint32_t port = 80;
    if (!QuarInetSplitUrl(args.url.c_str(), scheme, host, port, path, sizeof path) &&
        !QuarInetSplitUrl((args.url + "/").c_str(), scheme, host, port, path, sizeof path)) {
        return Fail("cannot read the URL " + args.url);
    }
    if (*scheme != '\0' && strcasecmp(scheme, "http://") != 0) {
        return Fail(std::string("only http:// URLs can be fetched, not ") + scheme);
    }

    QuarInetHttpConnection connection(args.settingsKey.c_str());
    if ((args.proxy || args.proxyUser) && !StoreProxySettings(connection, args, error)) {
        return Fail(error);
    }
    std::string headers;
    Upload upload;
    if (!upload.Build(args, headers, error)) {
        return Fail(error);
    }
    const bool sendsBody = args.data.has_value() || !args.form.empty();
    const std::string verb = !args.verb.empty() ? args.verb : sendsBody ? "POST" : "GET";
    Output output;
    if (!output.Open(args.outputFile, args.includeHeaders, error)) {
        return Fail(error);
    }

    Progress progress(isatty(STDERR_FILENO) != 0, args.verbose);
    progress.Show();
    std::unique_ptr<QuarInetHttpRequest> request(connection.CreateRequest(&Progress::Callback));
    if (request == nullptr) {
        return Fail("no transport can be set up with the settings '" + args.settingsKey + "'");
    }
    // The body goes out as it arrives: memory stays flat whatever its size.
    request->BodySink = output.Sink();
    // The body is sent from where it is: the command line's text, or the files as they are read.
    request->BodySource = upload.Source();
    char* responseHeaders = nullptr;
    char* responseBody = nullptr;
    uint32_t headersLength = 0, bodyLength = 0, result = 0;
    bool interrupted;
    {
        InterruptWatch watch(*request);
        QuarInetThread thread = request->OpenUrl(
            host, port, verb.c_str(), path, headers.c_str(), static_cast<uint32_t>(headers.size()),
            nullptr, 0, &responseHeaders, &headersLength, &responseBody, &bodyLength, &result);
        if (thread == nullptr) {
            return Fail("cannot start the worker thread");
        }
        QuarInetWaitForThread(thread, QUARINET_INFINITE);
        QuarInetCloseThread(thread);
        interrupted = watch.interrupted();
    }
    progress.Finish();
    LibraryText ownedHeaders(responseHeaders), ownedBody(responseBody);
    // A failed transfer leaves the named file as it was, unless what came is asked for.
    const bool keep = result == 0 || (args.keepPartial && output.Wrote());
    const bool stored = output.Close(keep, error);
    if (result == Upload::kReadFailed) {
        return Fail("cannot read the body's file to the end");
    }
    if (result == Output::kWriteFailed) {
        return Fail("cannot write the response: " +
                    std::string(std::strerror(output.WriteError())));
    }
    if (result != 0) {
        const std::string kept = keep && stored && !args.outputFile.empty()
                                     ? "; what arrived is in " + args.outputFile
                                     : "";
        return Fail(std::string(interrupted ? "interrupted: " : "") +
                    QuarInetGetErrorDescription(result) + " (" + std::to_string(result) + ")" +
                    kept);
    }
    if (!stored) {
        return Fail(error);
    }
    return 0;
}
