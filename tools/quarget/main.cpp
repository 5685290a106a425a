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
#include "CurlLike.h"
#include "Output.h"
#include "Progress.h"
#include "QuarInet.h"
#include "Upload.h"
#include "platform/Decimal.h"
#include "platform/FileUtil.h"
#include "platform/Registry.h"

namespace {

struct LibraryFree {
    void operator()(void* block) const { QuarInetFree(block); }
};
using LibraryText = std::unique_ptr<char, LibraryFree>;

// -s keeps every message back; the exit status still tells.
bool gSilent = false;

int Fail(const std::string& message, int status = kExitFailed) {
    if (!gSilent) {
        std::fprintf(stderr, "quarget: %s\n", message.c_str());
    }
    return status;
}

// --proxy and --proxy-user over the settings of the key, for this run; with --save they are
// stored under the key too.
bool ApplyProxySettings(QuarInetOptions& options, const Arguments& args, std::string& error) {
    std::string address = options.ProxyAddress;
    uint32_t port = options.ProxyPort;
    if (args.proxy) {
        const size_t colon = args.proxy->rfind(':');
        address = args.proxy->substr(0, colon);
        // Beyond the port range either way is held just outside it, and refused below.
        port = colon == std::string::npos
                   ? 80
                   : static_cast<uint32_t>(LeadingDecimal(args.proxy->substr(colon + 1), 0, 65536));
        if (address.empty() || port == 0 || port > 65535 ||
            address.size() >= QuarInetOptions::TextSize) {
            error = "--proxy needs HOST:PORT";
            return false;
        }
    }
    if (address.empty()) {
        error = "--proxy-user needs a proxy: give --proxy HOST:PORT";
        return false;
    }
    options.UseIEsettings = 0;
    options.Proxy = 1;
    std::snprintf(options.ProxyAddress, sizeof options.ProxyAddress, "%s", address.c_str());
    options.ProxyPort = port;
    if (args.proxyUser) {
        const size_t colon = args.proxyUser->find(':');
        const std::string user = args.proxyUser->substr(0, colon);
        const std::string password = args.proxyUser->substr(colon + 1);
        if (user.size() >= QuarInetOptions::TextSize ||
            password.size() >= QuarInetOptions::TextSize) {
            error = "--proxy-user is too long";
            return false;
        }
        options.ProxyAuthorization = 1;
        std::snprintf(options.ProxyLog, sizeof options.ProxyLog, "%s", user.c_str());
        std::snprintf(options.ProxyPwd, sizeof options.ProxyPwd, "%s", password.c_str());
    }
    if (args.save && !options.Save(args.settingsKey.c_str())) {
        error = "the proxy settings could not be stored under '" + args.settingsKey + "'";
        return false;
    }
    return true;
}

// Whether --noproxy's list names `host` (or is "*").
bool NoProxyFor(const std::string& list, const std::string& host) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        end = end == std::string::npos ? list.size() : end;
        std::string item = list.substr(start, end - start);
        item.erase(0, item.find_first_not_of(' '));
        item.erase(item.find_last_not_of(' ') + 1);
        if (item == "*" || (!item.empty() && strcasecmp(item.c_str(), host.c_str()) == 0)) {
            return true;
        }
        start = end + 1;
    }
    return false;
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
        return kExitUsage;
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
    gSilent = args.silent;
    // The fragment is never sent; user information in the URL is taken as -u.
    const UrlWithoutSecrets target = SplitUserInfo(args.url);
    char scheme[16], host[QuarInetOptions::TextSize], path[8192];
    uint32_t port = 80;
    if (!QuarInetSplitUrl(target.url.c_str(), scheme, host, port, path, sizeof path) &&
        !QuarInetSplitUrl((target.url + "/").c_str(), scheme, host, port, path, sizeof path)) {
        return Fail("cannot read the URL " + target.url);
    }
    if (*scheme != '\0' && strcasecmp(scheme, "http://") != 0) {
        return Fail(std::string("only http:// URLs can be fetched, not ") + scheme);
    }

    // The library goes on with its defaults over a registry file it cannot read; the user
    // hears of it here.
    if (const std::string registry = UserRegistryFile(); !RegistryFileUsable(registry)) {
        Fail("the user registry file " + registry +
                 " cannot be read or is no registry file; the default settings are used",
             0);
    }
    QuarInetHttpConnection connection(args.settingsKey.c_str());
    QuarInetOptions options(args.settingsKey.c_str());
    if ((args.proxy || args.proxyUser) && !ApplyProxySettings(options, args, error)) {
        return Fail(error);
    }
    if (args.direct || NoProxyFor(args.noProxy, host)) {
        options.UseIEsettings = 0;
        options.Proxy = 0;
    }
    Arguments request_args = args;
    const std::optional<std::string> user = args.user ? args.user : target.userInfo;
    std::string headers;
    if (user) {
        headers = BasicAuthorizationLine(*user);
    }
    // -d sends a form unless -H names the body's type.
    bool typed = false;
    for (const std::string& line : args.headers) {
        typed = typed || strncasecmp(line.c_str(), "Content-Type:", 13) == 0;
    }
    if (args.data && !typed) {
        request_args.headers.push_back("Content-Type: application/x-www-form-urlencoded");
    }
    Upload upload;
    std::string caller;
    if (!upload.Build(request_args, caller, error)) {
        return Fail(error);
    }
    headers += caller;
    const bool sendsBody = args.data.has_value() || !args.form.empty();
    const std::string verb = !args.verb.empty() ? args.verb : sendsBody ? "POST" : "GET";
    Output output;
    if (!output.Open(args.outputFile, args.includeHeaders, error)) {
        return Fail(error);
    }

    Progress progress(isatty(STDERR_FILENO) != 0 && !args.silent, args.verbose);
    progress.Show();
    std::unique_ptr<QuarInetHttpRequest> request(
        connection.CreateRequest(&Progress::Callback, options));
    if (request == nullptr) {
        return Fail("no transport can be set up with the settings '" + args.settingsKey + "'");
    }
    if (args.connectTimeoutMs != 0) {
        request->ConnectTimeout = args.connectTimeoutMs;
    }
    // The body goes out as it arrives: memory stays flat whatever its size. With -f an error
    // status stops it before anything is written.
    FailGate gate(output.Sink(), args.fail);
    request->BodySink = gate.Sink();
    // The body is sent from where it is: the command line's text, or the files as they are read.
    request->BodySource = upload.Source();
    char* responseHeaders = nullptr;
    char* responseBody = nullptr;
    uint32_t headersLength = 0, bodyLength = 0, result = 0;
    bool interrupted;
    bool timedOut = false;
    {
        InterruptWatch watch(*request);
        QuarInetThread thread = request->OpenUrl(
            host, port, verb.c_str(), path, headers.c_str(), static_cast<uint32_t>(headers.size()),
            nullptr, 0, &responseHeaders, &headersLength, &responseBody, &bodyLength, &result);
        if (thread == nullptr) {
            return Fail("cannot start the worker thread");
        }
        if (args.maxTimeMs != 0 &&
            QuarInetWaitForThread(thread, args.maxTimeMs) == QUARINET_WAIT_TIMEOUT) {
            timedOut = true;
            request->Abort(0);
        }
        QuarInetWaitForThread(thread, QUARINET_INFINITE);
        QuarInetCloseThread(thread);
        interrupted = watch.interrupted();
    }
    progress.Finish();
    LibraryText ownedHeaders(responseHeaders), ownedBody(responseBody);
    const uint32_t status = StatusOf(responseHeaders);
    // A final status the library does not take for success is still an answer, as curl sees
    // it, unless -f asks otherwise.
    const bool answered =
        result == 0 || (result == QUARINET_ERROR_STATUS && status != 0 && !args.fail);
    // A failed transfer leaves the named file as it was, unless what came is asked for.
    const bool keep = answered || (args.keepPartial && output.Wrote());
    const bool stored = output.Close(keep, error);
    if (!args.writeOut.empty()) {
        const std::string report = FormatWriteOut(args.writeOut, status);
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::fflush(stdout);
    }
    if (interrupted) {
        return Fail("interrupted: " + std::string(QuarInetGetErrorDescription(result)) + " (" +
                        std::to_string(result) + ")",
                    kExitInterrupted);
    }
    if (timedOut) {
        return Fail("the transfer took longer than --max-time", kExitTimedOut);
    }
    if (result == Upload::kReadFailed) {
        return Fail("cannot read the body's file to the end");
    }
    if (result == Output::kWriteFailed) {
        return Fail("cannot write the response: " +
                    std::string(std::strerror(output.WriteError())));
    }
    if (args.fail && status >= 400) {
        return Fail("the requested URL returned error: " + std::to_string(status), kExitHttpError);
    }
    if (!answered) {
        const std::string kept = keep && stored && !args.outputFile.empty()
                                     ? "; what arrived is in " + args.outputFile
                                     : "";
        std::string statusLine;
        if (responseHeaders != nullptr) {
            statusLine.assign(responseHeaders, std::strcspn(responseHeaders, "\r\n"));
            statusLine = "; the server answered " + statusLine;
        }
        return Fail(std::string(QuarInetGetErrorDescription(result)) + " (" +
                    std::to_string(result) + ")" + statusLine + kept);
    }
    if (!stored) {
        return Fail(error);
    }
    return kExitOk;
}
