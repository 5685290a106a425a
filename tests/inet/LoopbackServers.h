// Real servers for the client tests, each started on a free port of 127.0.0.1 in a scratch
// folder and stopped by its PID: lighttpd with static files (one of them pre-gzipped),
// redirects, a Basic-authentication area and an echo CGI; tinyproxy with Basic authentication.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "FileBytes.h"
#include "support/TempDir.h"

// A child process, stopped (SIGTERM, then SIGKILL) and reaped when the object goes.
class ChildProcess {
  public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
};

// Waits until something accepts connections on 127.0.0.1:`port`; false after `seconds`.
bool WaitForPort(uint16_t port, int seconds);
uint16_t FreePort();

class Lighttpd {
  public:
    // The files it serves (name under the document root, content).
    explicit Lighttpd(const std::vector<std::pair<std::string, std::string>>& files);
    uint16_t port() const { return port_; }
    // "user:password" of the authentication area /private/.
    static constexpr const char* kUser = "webuser:webpass";

  private:
    TempDir dir_;
    uint16_t port_;
    std::unique_ptr<ChildProcess> process_;
};

class Tinyproxy {
  public:
    Tinyproxy(const std::string& user, const std::string& password);
    uint16_t port() const { return port_; }

  private:
    TempDir dir_;
    uint16_t port_;
    std::unique_ptr<ChildProcess> process_;
};
