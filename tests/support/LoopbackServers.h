// Real servers on 127.0.0.1 for the tests and benchmarks that need one: lighttpd (plain and TLS)
// and tinyproxy with Basic authorization (support/RawServer.h scripts the answers that real
// servers do not give). Each takes a free port, is started by its constructor, which returns only
// once the server accepts connections (and throws, the server stopped, when it does not), and is
// stopped by its PID when the object goes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/TempDir.h"

// A port of 127.0.0.1 that was free a moment ago; throws when none can be had.
int FreeLoopbackPort();

// A child process running `argv` (searched in PATH). The destructor stops it (SIGTERM, SIGKILL
// when it has not gone a few seconds later) and reaps it.
class ChildProcess {
  public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    pid_t pid() const { return pid_; }
    // Whether the process has ended (it is reaped then: later calls keep answering true).
    bool Ended();

  private:
    pid_t pid_ = -1;
    bool ended_ = false;
};

// Waits until something accepts connections on 127.0.0.1:`port`; false after `timeoutMs`, or
// as soon as `server` (when given) has ended.
bool WaitForLoopbackPort(int port, int timeoutMs, ChildProcess* server = nullptr);

// A TLS port of lighttpd and the file with its certificate and key.
struct TlsSocket {
    int port;
    std::string pemFile;
};

// lighttpd serving `docRoot` on 127.0.0.1:`port` (a free one when 0) and on the `tls` ports,
// with mod_redirect and mod_setenv loaded. `extraConfig` is appended to the configuration
// (redirects, response headers; further modules with "server.modules += (...)").
class Lighttpd {
  public:
    explicit Lighttpd(const std::string& docRoot, int port = 0,
                      const std::vector<TlsSocket>& tls = {}, const std::string& extraConfig = "");
    int port() const { return port_; }

  private:
    TempDir dir_;  // configuration and error log
    int port_;
    ChildProcess process_;
};

// tinyproxy that lets 127.0.0.1 through with Basic credentials `user`:`password` and marks
// what it forwards with a Via header. `extraConfig` lines are appended ("DisableViaHeader Yes").
class Tinyproxy {
  public:
    Tinyproxy(const std::string& user, const std::string& password,
              const std::string& extraConfig = "");
    int port() const { return port_; }

  private:
    TempDir dir_;  // configuration and log
    int port_;
    ChildProcess process_;
};

// Writes a self-signed certificate for `names` (subjectAltName entries such as "IP:127.0.0.1")
// with its key into `pemFile` (both) and the certificate alone into `certFile`.
void MakeSelfSignedCertificate(const std::string& pemFile, const std::string& certFile,
                               const std::string& names);
