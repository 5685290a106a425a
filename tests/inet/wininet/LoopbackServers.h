// Real servers on 127.0.0.1 for the layer's tests and benchmark: lighttpd (plain and TLS),
// tinyproxy with Basic authorization, and a scripted server that answers slowly or not at all.
// Each picks a free port, is started by its constructor and stopped by its PID.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

// A port that was free a moment ago.
int FreeLoopbackPort();

// A child process, stopped (SIGTERM, then waited for) when the object goes.
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

// A TLS port of lighttpd and the file with its certificate and key.
struct TlsSocket {
    int port;
    std::string pemFile;
};

// lighttpd serving `docRoot` on a plain port and on the TLS ports. `extraConfig` is appended
// to the configuration (redirects, response headers).
class Lighttpd {
  public:
    Lighttpd(const std::string& workDir, const std::string& docRoot, int port,
             const std::vector<TlsSocket>& tls, const std::string& extraConfig);
    int port() const { return port_; }

  private:
    int port_;
    ChildProcess process_;
};

// tinyproxy that lets 127.0.0.1 through with Basic credentials `user`:`password`.
class Tinyproxy {
  public:
    Tinyproxy(const std::string& workDir, const std::string& user, const std::string& password);
    int port() const { return port_; }

  private:
    int port_;
    ChildProcess process_;
};

// One-connection-at-a-time server that reads a request, sends `head` (status line and headers)
// and then `block` again and again with a pause before each, until the client goes. An empty
// `block` leaves the connection silent after the head; an empty head, silent from the start.
class ScriptedServer {
  public:
    ScriptedServer(std::string head, std::string block, int pauseMs);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;
    int port() const { return port_; }

  private:
    void Serve();
    std::string head_;
    std::string block_;
    int pauseMs_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Writes a self-signed certificate for `names` (subjectAltName entries such as "IP:127.0.0.1")
// with its key into `pemFile` (both) and the certificate alone into `certFile`.
void MakeSelfSignedCertificate(const std::string& pemFile, const std::string& certFile,
                               const std::string& names);

// Waits until something accepts connections on the port.
bool WaitForLoopbackPort(int port, int timeoutMs);
