// What the media benchmarks share: the cost of a process read from /proc,
// the machine's load, the command line, figures, and the files the
// participants use (a tone as microphone, their statistics files).
#pragma once

#include <json/value.h>
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "JsonFile.h"
#include "LocalServer.h"
#include "NetworkLab.h"
#include "TestCertificates.h"

namespace velto::bench {

// What a process has cost so far: CPU time (user and system) and memory.
struct ProcessUsage {
    bool known = false;     // false when the process is gone
    double cpuSeconds = 0;
    double rssMib = 0;      // resident now
    double peakRssMib = 0;  // the most it was resident
};
ProcessUsage processUsage(pid_t pid);

// The CPU a process used from construction to now, in percent of one core.
class CpuWindow {
public:
    explicit CpuWindow(pid_t pid);
    double percent() const;

private:
    pid_t pid_;
    double startCpu_;
    std::chrono::steady_clock::time_point startWall_;
};

// "/proc/loadavg" as "1-min 5-min 15-min".
std::string loadAverage();

// The value `fraction` (0..1) of the way through the sorted values (nearest
// rank); 0 for none.
double percentile(std::vector<double> values, double fraction);

// The value of `--name N` on the command line, or `fallback`.
int intOption(int argc, char** argv, const std::string& name, int fallback);
bool flagOption(int argc, char** argv, const std::string& name);

// A fresh empty folder under the system's temp folder.
std::string freshFolder(const std::string& name);
// A mono 48 kHz WAV file with a sine tone, for a participant's microphone.
void writeTone(const std::string& path, int frequency, int seconds);
// The JSON in `path`; null when it cannot be read.
using velto::test::readJsonFile;

// "12.3" with `decimals` decimals.
std::string fixed(double value, int decimals = 1);

// Media through a TURN relay over TCP: a server "machine" and a client
// "machine" (network namespaces, 192.0.2.1 and 192.0.2.2 on one link), no
// UDP leaving the client's, coturn on the server's taking TCP on 3479 with
// the static user the server's login answer names. With `overTls` the login
// answer names it as turns:192.0.2.1:5349 instead, where coturn takes TLS
// with a certificate of a CA of the lab's own. Participants made on a thread
// inside client() reach each other only through the relay. Needs root
// (unavailable() says why not).
class RelayLab {
public:
    static std::string unavailable() { return velto::test::NetworkLab::unavailable(); }
    // coturn's files (and the certificates) in `dir`.
    explicit RelayLab(const std::string& dir, bool overTls = false);
    // A server on the server's machine that names the relay in its login answers.
    velto::test::LocalServer::Options serverOptions() const;
    // VELTO_CA_BUNDLE: the CAs of `server` and of the relay's certificate.
    void trust(const velto::test::LocalServer& server) const;
    const std::string& client() const { return client_; }
    pid_t relayPid() const { return relay_; }

private:
    std::string dir_;
    bool overTls_ = false;
    std::unique_ptr<velto::test::TestCa> ca_;
    velto::test::NetworkLab lab_;
    std::string server_;
    std::string client_;
    pid_t relay_ = 0;
};

}  // namespace velto::bench
