#include "NetworkLab.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace velto::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kCommandTimeout = std::chrono::seconds(20);
constexpr auto kStopTimeout = std::chrono::seconds(5);
const char* const kPrefix = "vlt";

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error("NetworkLab: " + what);
}

std::string joined(const std::vector<std::string>& args)
{
    std::string text;
    for (const std::string& arg : args)
        text += (text.empty() ? "" : " ") + arg;
    return text;
}

// A program by name, also where root's tools live when PATH leaves them out.
std::string program(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return name;
    std::vector<std::string> dirs;
    if (const char* path = std::getenv("PATH")) {
        std::string rest = path;
        for (size_t colon; (colon = rest.find(':')) != std::string::npos; rest.erase(0, colon + 1))
            dirs.push_back(rest.substr(0, colon));
        dirs.push_back(rest);
    }
    for (const char* dir : {"/usr/sbin", "/sbin", "/usr/bin", "/bin"})
        dirs.emplace_back(dir);
    for (const std::string& dir : dirs)
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0)
            return dir + "/" + name;
    return std::string();
}

int openNamespace(const std::string& ns)
{
    const int fd = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail("no namespace " + ns + ": " + std::strerror(errno));
    return fd;
}

// Forks `args` (in namespace `ns` unless empty) with stdout and stderr to
// `output`; the child dies with the test. Only async-signal-safe calls in it.
pid_t start(const std::string& ns, const std::vector<std::string>& args, int output)
{
    const std::string path = program(args.at(0));
    if (path.empty())
        fail("no program " + args[0]);
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& arg : copy)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int network = ns.empty() ? -1 : openNamespace(ns);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        if (network >= 0)
            close(network);
        fail(std::string("fork: ") + std::strerror(errno));
    }
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (network >= 0 && setns(network, CLONE_NEWNET) != 0)
            _exit(126);
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0)
            dup2(null, STDIN_FILENO);
        if (output >= 0) {
            dup2(output, STDOUT_FILENO);
            dup2(output, STDERR_FILENO);
        }
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    if (network >= 0)
        close(network);
    return pid;
}

// Waits for `pid` until `deadline`; its status as a shell gives it, -1 on time-out.
int reap(pid_t pid, Clock::time_point deadline)
{
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0 && errno != EINTR)
            return -1;
        if (Clock::now() > deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Runs a command to its end (killed after the time-out); its exit status and output.
std::pair<int, std::string> execute(const std::string& ns, const std::vector<std::string>& args)
{
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        fail(std::string("pipe: ") + std::strerror(errno));
    pid_t pid = -1;
    try {
        pid = start(ns, args, out[1]);
    } catch (...) {
        close(out[0]);
        close(out[1]);
        throw;
    }
    close(out[1]);
    std::string text;
    const auto deadline = Clock::now() + kCommandTimeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        pollfd fd{out[0], POLLIN, 0};
        const int ready = poll(&fd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char buffer[4096];
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(buffer, static_cast<size_t>(got));
    }
    close(out[0]);
    int status = reap(pid, deadline);
    if (status < 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        status = -1;
    }
    return {status, text};
}

std::string must(const std::string& ns, const std::vector<std::string>& args)
{
    const auto [status, text] = execute(ns, args);
    if (status != 0)
        fail((ns.empty() ? "" : "in " + ns + ": ") + joined(args) + " failed (" + std::to_string(status) +
             "): " + text);
    return text;
}

// Documentation addresses only: nothing a test sets up may reach a real network.
void checkDocumentationAddress(const std::string& address)
{
    for (const char* net : {"192.0.2.", "198.51.100.", "203.0.113."})
        if (address.compare(0, std::strlen(net), net) == 0)
            return;
    fail(address + " is no RFC 5737 documentation address");
}

// Namespaces of earlier test processes that died before they removed theirs.
void removeOrphans()
{
    DIR* dir = opendir("/run/netns");
    if (!dir)
        return;
    std::vector<std::string> orphans;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, std::strlen(kPrefix), kPrefix) != 0)
            continue;
        const long pid = std::strtol(name.c_str() + std::strlen(kPrefix), nullptr, 10);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            orphans.push_back(name);
    }
    closedir(dir);
    for (const std::string& name : orphans)
        execute("", {"ip", "netns", "delete", name});
}

}  // namespace

std::string NetworkLab::unavailable()
{
    static std::once_flag once;
    static std::string why;
    std::call_once(once, [] {
        if (geteuid() != 0) {
            why = "network namespace tests need root (run as root, as CI does)";
            return;
        }
        if (program("ip").empty()) {
            why = "network namespace tests need `ip` (iproute2: scripts/install-deps.sh)";
            return;
        }
        // Root in a container may still lack the right to make namespaces.
        const std::string probe = std::string(kPrefix) + std::to_string(getpid()) + "-probe";
        const auto [status, text] = execute("", {"ip", "netns", "add", probe});
        execute("", {"ip", "netns", "delete", probe});
        if (status != 0)
            why = "cannot make network namespaces here (`ip netns add` failed: " + text + ")";
    });
    return why;
}

NetworkLab::NetworkLab()
{
    static std::atomic<int> labs{0};
    prefix_ = std::string(kPrefix) + std::to_string(getpid()) + "-" + std::to_string(labs++) + "-";
    removeOrphans();
}

NetworkLab::~NetworkLab()
{
    for (auto it = spawned_.rbegin(); it != spawned_.rend(); ++it)
        stop(*it);
    for (auto it = namespaces_.rbegin(); it != namespaces_.rend(); ++it)
        execute("", {"ip", "netns", "delete", *it});
}

std::string NetworkLab::add(const std::string& name)
{
    const std::string ns = prefix_ + name;
    must("", {"ip", "netns", "add", ns});
    namespaces_.push_back(ns);
    must(ns, {"ip", "link", "set", "lo", "up"});
    return ns;
}

std::pair<std::string, std::string> NetworkLab::link(const std::string& a, const std::string& addressA,
                                                     const std::string& b, const std::string& addressB)
{
    checkDocumentationAddress(addressA);
    checkDocumentationAddress(addressB);
    // Made inside the namespaces: no name ever shows in the test's own.
    const std::string n = std::to_string(links_++);
    const std::string endA = "l" + n + "a", endB = "l" + n + "b";
    must(a, {"ip", "link", "add", endA, "type", "veth", "peer", "name", endB, "netns", b});
    must(a, {"ip", "addr", "add", addressA, "dev", endA});
    must(b, {"ip", "addr", "add", addressB, "dev", endB});
    must(a, {"ip", "link", "set", endA, "up"});
    must(b, {"ip", "link", "set", endB, "up"});
    // The carrier comes a moment later (the kernel passes it on in the
    // background, up to a second late on a busy machine); till then an ICE
    // agent started in either namespace finds no address to gather on.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (const auto& [ns, end] : {std::pair{a, endA}, std::pair{b, endB}}) {
        while (must(ns, {"ip", "-o", "link", "show", "dev", end}).find("LOWER_UP") == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline)
                fail(end + " in " + ns + " has no carrier");
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return {endA, endB};
}

void NetworkLab::route(const std::string& ns, const std::string& gateway)
{
    checkDocumentationAddress(gateway);
    must(ns, {"ip", "route", "add", "default", "via", gateway});
}

void NetworkLab::masquerade(const std::string& ns, const std::string& outInterface)
{
    {
        Inside inside(ns);
        std::ofstream forward("/proc/sys/net/ipv4/ip_forward");
        forward << "1\n";
        forward.close();
        if (!forward)
            fail("cannot switch on forwarding in " + ns);
    }
    must(ns, {"iptables", "-t", "nat", "-A", "POSTROUTING", "-o", outInterface, "-j", "MASQUERADE"});
}

void NetworkLab::dropUdp(const std::string& ns)
{
    must(ns, {"iptables", "-A", "OUTPUT", "-p", "udp", "!", "-o", "lo", "-j", "DROP"});
    must(ns, {"iptables", "-A", "FORWARD", "-p", "udp", "-j", "DROP"});
}

void NetworkLab::loseUdp(const std::string& ns, double share, bool lose)
{
    if (!(share > 0 && share < 1))
        fail("a loss share is between 0 and 1");
    must(ns, {"iptables", lose ? "-A" : "-D", "INPUT", "-p", "udp", "!", "-i", "lo", "-m", "statistic", "--mode", "random",
              "--probability", std::to_string(share), "-j", "DROP"});
}

void NetworkLab::cutUdp(const std::string& ns, bool cut)
{
    must(ns, {"iptables", cut ? "-I" : "-D", "INPUT", "-p", "udp", "!", "-i", "lo", "-j", "DROP"});
}

std::string NetworkLab::run(const std::string& ns, const std::vector<std::string>& args)
{
    return must(ns, args);
}

pid_t NetworkLab::spawn(const std::string& ns, const std::vector<std::string>& args, const std::string& logFile)
{
    int output = -1;
    if (!logFile.empty()) {
        output = open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (output < 0)
            fail(logFile + ": " + std::strerror(errno));
    }
    pid_t pid = -1;
    try {
        pid = start(ns, args, output);
    } catch (...) {
        if (output >= 0)
            close(output);
        throw;
    }
    if (output >= 0)
        close(output);
    spawned_.push_back(pid);
    return pid;
}

int NetworkLab::stop(pid_t pid)
{
    const auto it = std::find(spawned_.begin(), spawned_.end(), pid);
    if (it == spawned_.end())
        fail("stop: " + std::to_string(pid) + " was not spawned here, or has stopped");
    spawned_.erase(it);
    kill(pid, SIGTERM);
    int status = reap(pid, Clock::now() + kStopTimeout);
    if (status < 0) {
        kill(pid, SIGKILL);
        int raw = 0;
        waitpid(pid, &raw, 0);
        status = 128 + SIGKILL;
    }
    return status;
}

pid_t NetworkLab::startTurnServer(const std::string& ns, const std::string& address, int port,
                                  const std::string& user, const std::string& password, const std::string& dir,
                                  const TurnTls& tls)
{
    checkDocumentationAddress(address);
    const std::string portText = std::to_string(port);
    // Verbose: its log tells each allocation.
    std::vector<std::string> args = {"turnserver", "-n", "-v", "--listening-ip", address, "--listening-port", portText,
                                     "--relay-ip", address, "--realm", "velto", "--lt-cred-mech", "--user",
                                     user + ":" + password, "--no-dtls", "--no-cli", "--fingerprint", "--simple-log",
                                     "--log-file", "stdout", "--pidfile", dir + "/turnserver.pid", "--userdb",
                                     dir + "/turndb"};
    if (tls.port != 0)
        args.insert(args.end(), {"--tls-listening-port", std::to_string(tls.port), "--cert", tls.certificate,
                                 "--pkey", tls.key});
    else
        args.push_back("--no-tls");
    const pid_t pid = spawn(ns, args, dir + "/turnserver.log");
    for (const int listening : {port, tls.port}) {
        if (listening != 0 && !waitForTcp(ns, address, listening, std::chrono::seconds(10))) {
            stop(pid);
            fail("turnserver did not listen on " + address + ":" + std::to_string(listening) + " (see " + dir +
                 "/turnserver.log)");
        }
    }
    return pid;
}

bool NetworkLab::waitForTcp(const std::string& ns, const std::string& address, int port,
                            std::chrono::milliseconds timeout)
{
    Inside inside(ns);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1)
        fail("not an IPv4 address: " + address);
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const timeval most{1, 0};  // bounds connect() too
        if (fd >= 0)
            setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &most, sizeof most);
        const bool connected = fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
        if (fd >= 0)
            close(fd);
        if (connected)
            return true;
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

NetworkLab::Inside::Inside(const std::string& ns)
{
    previous_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (previous_ < 0)
        fail(std::string("cannot open this thread's namespace: ") + std::strerror(errno));
    const int target = openNamespace(ns);
    const int entered = setns(target, CLONE_NEWNET);
    const int error = errno;
    close(target);
    if (entered != 0) {
        close(previous_);
        fail("cannot enter " + ns + ": " + std::strerror(error));
    }
}

NetworkLab::Inside::~Inside()
{
    if (setns(previous_, CLONE_NEWNET) != 0)
        std::abort();  // the rest of the test process would run in a namespace about to go
    close(previous_);
}

}  // namespace velto::test
