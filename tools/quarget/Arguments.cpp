#include "Arguments.h"

const char* const kUsage =
    "usage: quarget [options] URL\n"
    "       quarget --configure [--settings KEY]\n"
    "  -o FILE              write the body (with -i also the headers) to FILE, which is\n"
    "                       replaced only when the transfer succeeds\n"
    "  --keep-partial       with -o: keep what arrived of a failed transfer in FILE\n"
    "  -i                   write the response headers before the body\n"
    "  -X VERB              request method (default GET, or POST with -d or -F)\n"
    "  -H 'Name: value'     add a request header (repeatable)\n"
    "  -d DATA | -d @FILE   send DATA, or the content of FILE, as the body\n"
    "  -F name=value        add a multipart/form-data field (repeatable)\n"
    "  -F name=@FILE        add a file as a multipart/form-data part\n"
    "  --settings KEY       the settings key to use (default quarget)\n"
    "  --proxy HOST:PORT    store: connect through this proxy\n"
    "  --proxy-user U:P     store: Basic authentication for the proxy\n"
    "  -v                   report the connection's events on stderr\n"
    "  --configure          edit the settings of the key in the settings dialog (needs a\n"
    "                       display); they are stored on OK\n"
    "  --help               show this text\n"
    "  --version            show the version of quarget\n"
    "Ctrl-C breaks the transfer off. Exit status 0 on success, 1 on failure, 2 for usage.\n";

std::optional<Arguments> ParseArguments(int argc, char** argv, std::string& error) {
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // Options that take a value, and where it goes.
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            args.help = true;
        } else if (arg == "--version") {
            args.version = true;
        } else if (arg == "-i") {
            args.includeHeaders = true;
        } else if (arg == "--keep-partial") {
            args.keepPartial = true;
        } else if (arg == "-v") {
            args.verbose = true;
        } else if (arg == "--configure") {
            args.configure = true;
        } else if (arg == "-o") {
            if (!value(args.outputFile)) {
                return std::nullopt;
            }
        } else if (arg == "-X") {
            if (!value(args.verb)) {
                return std::nullopt;
            }
        } else if (arg == "-H") {
            if (!value(text)) {
                return std::nullopt;
            }
            if (text.find(':') == std::string::npos || text.find_first_of("\r\n") != text.npos) {
                error = "header '" + text + "' is not of the form 'Name: value'";
                return std::nullopt;
            }
            args.headers.push_back(text);
        } else if (arg == "-d") {
            if (!value(text)) {
                return std::nullopt;
            }
            args.data = text;
        } else if (arg == "-F") {
            if (!value(text)) {
                return std::nullopt;
            }
            const size_t equals = text.find('=');
            if (equals == std::string::npos || equals == 0) {
                error = "form field '" + text + "' is not of the form name=value";
                return std::nullopt;
            }
            FormField field{text.substr(0, equals), text.substr(equals + 1), false};
            if (!field.value.empty() && field.value[0] == '@') {
                field.value.erase(0, 1);
                field.fromFile = true;
            }
            args.form.push_back(field);
        } else if (arg == "--settings") {
            if (!value(args.settingsKey)) {
                return std::nullopt;
            }
        } else if (arg == "--proxy") {
            if (!value(text)) {
                return std::nullopt;
            }
            args.proxy = text;
        } else if (arg == "--proxy-user") {
            if (!value(text)) {
                return std::nullopt;
            }
            if (text.find(':') == std::string::npos) {
                error = "--proxy-user needs USER:PASSWORD";
                return std::nullopt;
            }
            args.proxyUser = text;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return std::nullopt;
        } else if (args.url.empty()) {
            args.url = arg;
        } else {
            error = "more than one URL";
            return std::nullopt;
        }
    }
    if (args.data && !args.form.empty()) {
        error = "-d and -F cannot be combined";
        return std::nullopt;
    }
    if (args.configure && !args.url.empty()) {
        error = "--configure takes no URL";
        return std::nullopt;
    }
    if (args.url.empty() && !args.help && !args.version && !args.configure) {
        error = "no URL given";
        return std::nullopt;
    }
    return args;
}
