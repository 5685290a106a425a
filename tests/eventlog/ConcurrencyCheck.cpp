// eventlog_concurrency_check --processes P --lines-per-process N --log FILE
//                            [--code CODE] [--unique-column K] -- COMMAND [ARGS...]
//
// Removes FILE, starts P copies of COMMAND at the same moment (each with QUAR_WRITER_INDEX set
// to its index 0..P-1), waits for all of them, and then checks the event log FILE: exactly
// P*N lines, each ended by CR LF, each with the nine columns of an event line (a decimal time
// and its short text), the given code in every line, and, with --unique-column, no value of
// column K (1-9) twice. Any command that writes event lines can be checked this way, such as a
// test program or a loop that runs a CGI program N times.
// Exit status 0 when every check passed, 1 otherwise.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Options {
    long processes = 0;
    long linesPerProcess = 0;
    std::string log;
    std::string code;
    int uniqueColumn = 0;
    std::vector<char*> command;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; i += 2) {
        if (i + 1 >= argc) {
            return false;
        }
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--processes") {
            options.processes = std::strtol(value, nullptr, 10);
        } else if (name == "--lines-per-process") {
            options.linesPerProcess = std::strtol(value, nullptr, 10);
        } else if (name == "--log") {
            options.log = value;
        } else if (name == "--code") {
            options.code = value;
        } else if (name == "--unique-column") {
            options.uniqueColumn = std::atoi(value);
        } else {
            return false;
        }
    }
    for (++i; i < argc; ++i) {
        options.command.push_back(argv[i]);
    }
    options.command.push_back(nullptr);
    return options.processes > 0 && options.linesPerProcess >= 0 && !options.log.empty() &&
           options.command.size() > 1 && options.uniqueColumn >= 0 && options.uniqueColumn <= 9;
}

// Starts every writer, holding them at a pipe until all exist, then waits for them.
// False when a writer could not start or did not exit with status 0.
bool RunWriters(const Options& options) {
    int gate[2];
    if (::pipe(gate) != 0) {
        std::perror("pipe");
        return false;
    }
    std::vector<pid_t> writers;
    for (long index = 0; index < options.processes; ++index) {
        const pid_t pid = ::fork();
        if (pid < 0) {
            std::perror("fork");
            break;
        }
        if (pid == 0) {
            ::close(gate[1]);
            char byte;
            while (::read(gate[0], &byte, 1) < 0) {
            }
            ::close(gate[0]);
            ::setenv("QUAR_WRITER_INDEX", std::to_string(index).c_str(), 1);
            ::execvp(options.command[0], options.command.data());
            std::perror("execvp");
            ::_exit(127);
        }
        writers.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);  // end of file on the gate: every writer starts now
    bool ok = static_cast<long>(writers.size()) == options.processes;
    for (pid_t pid : writers) {
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::cerr << "writer " << pid << " failed (status " << status << ")\n";
            ok = false;
        }
    }
    return ok;
}

std::vector<std::string> SplitColumns(const std::string& line) {
    std::vector<std::string> columns;
    std::size_t start = 0;
    while (columns.size() < 8) {
        const std::size_t tab = line.find('\t', start);
        if (tab == std::string::npos) {
            break;
        }
        columns.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    columns.push_back(line.substr(start));
    return columns;
}

// Checks the log; prints each kind of fault once, with the first line that shows it.
bool CheckLog(const Options& options) {
    std::ifstream in(options.log, std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << options.log << "\n";
        return false;
    }
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string content = buffer.str();

    const std::regex time("-?[0-9]+");
    const std::regex shortTime("[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}");
    std::set<std::string> seen;
    std::map<std::string, long> faults;  // kind of fault -> first line with it
    long count = 0;
    std::size_t start = 0;
    while (start < content.size()) {
        ++count;
        const std::size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            faults.emplace("last line has no line end", count);
            break;
        }
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line.back() != '\r') {
            faults.emplace("line not ended by CR LF", count);
            continue;
        }
        line.pop_back();
        const std::vector<std::string> columns = SplitColumns(line);
        if (columns.size() != 9) {
            faults.emplace("line with fewer than nine columns", count);
            continue;
        }
        if (!std::regex_match(columns[1], time) || !std::regex_match(columns[2], shortTime)) {
            faults.emplace("time columns malformed", count);
        }
        if (!options.code.empty() && columns[0] != options.code) {
            faults.emplace("unexpected code", count);
        }
        if (options.uniqueColumn > 0 && !seen.insert(columns[options.uniqueColumn - 1]).second) {
            faults.emplace("repeated value in column " + std::to_string(options.uniqueColumn),
                           count);
        }
    }
    const long expected = options.processes * options.linesPerProcess;
    if (count != expected) {
        faults.emplace(
            "found " + std::to_string(count) + " lines, expected " + std::to_string(expected), 0);
    }
    for (const auto& [fault, line] : faults) {
        std::cerr << options.log << ": " << fault;
        if (line > 0) {
            std::cerr << " (first at line " << line << ")";
        }
        std::cerr << "\n";
    }
    std::cout << count << " lines checked, " << faults.size() << " kinds of fault\n";
    return faults.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::cerr << "usage: eventlog_concurrency_check --processes P --lines-per-process N "
                     "--log FILE [--code CODE] [--unique-column K] -- COMMAND [ARGS...]\n";
        return 2;
    }
    std::error_code error;
    std::filesystem::remove(options.log, error);
    std::filesystem::create_directories(std::filesystem::path(options.log).parent_path(), error);
    const bool writersOk = RunWriters(options);
    const bool logOk = CheckLog(options);
    return writersOk && logOk ? 0 : 1;
}
