#pragma once
// Test fixture: "machines" of a test's own as Linux network namespaces, linked
// by veth pairs, with only RFC 5737 documentation addresses (192.0.2.0/24,
// 198.51.100.0/24, 203.0.113.0/24) so that nothing is ever routed out.
//
//   if (const std::string why = NetworkLab::unavailable(); !why.empty())
//       GTEST_SKIP() << why;
//   NetworkLab lab;
//   const std::string server = lab.add("server"), client = lab.add("client");
//   lab.link(server, "192.0.2.1/24", client, "192.0.2.2/24");
//   LocalServer::Options options;
//   options.networkNamespace = server;  options.listen = "192.0.2.1";
//   NetworkLab::Inside inside(client);   // this thread (and threads it starts) now live there
//
// A router namespace between two links and route() and masquerade() make a
// NAT; dropUdp() a firewall that lets no UDP out of a namespace; loseUdp()
// and cutUdp() a lossy or cut link; spawn()
// runs a program there (a TURN server, a scripted peer).
//
// Names are unique per test process ("vlt<pid>-<n>-<name>"), so tests run in
// parallel. The destructor ends what spawn() started and removes every
// namespace (and with them their links and rules), whether the test passed or
// not; namespaces left by a process that died are removed by the next lab.
// Every call throws std::runtime_error when a command fails.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace velto::test {

// TLS of a TURN server: its port, and its certificate and key (PEM files).
struct TurnTls {
    int port = 0;
    std::string certificate;
    std::string key;
};

class NetworkLab {
public:
    // Why namespaces cannot be made here (not root, no `ip netns`), or "".
    static std::string unavailable();

    NetworkLab();
    ~NetworkLab();
    NetworkLab(const NetworkLab&) = delete;
    NetworkLab& operator=(const NetworkLab&) = delete;

    // A new namespace with its loopback up; returns its full name.
    std::string add(const std::string& name);
    // A veth pair between two namespaces, "ADDRESS/PREFIX" on each end, both
    // up; returns the two interface names (in a's and in b's namespace).
    std::pair<std::string, std::string> link(const std::string& a, const std::string& addressA,
                                             const std::string& b, const std::string& addressB);
    // `ip route add default via GATEWAY` in `ns`.
    void route(const std::string& ns, const std::string& gateway);
    // `ns` forwards IPv4 and hides what leaves through `outInterface` behind
    // its own address there (iptables MASQUERADE): a NAT router.
    void masquerade(const std::string& ns, const std::string& outInterface);
    // No UDP leaves `ns` except on its loopback (iptables DROP): a firewall
    // that lets TCP through.
    void dropUdp(const std::string& ns);
    // Each UDP datagram arriving at `ns` (loopback aside) is lost with
    // probability `share` (iptables' random match: not every kernel has
    // netem). Called for both ends, a link lossy each way. Datagrams are lost
    // on the way in, as the network loses them: a drop on the way out would
    // fail the sender's send (EPERM), which libnice takes as a failed check.
    // `lose` false takes that loss away again.
    void loseUdp(const std::string& ns, double share, bool lose = true);
    // No UDP arrives at `ns` (loopback aside) while `cut`, again when not.
    void cutUdp(const std::string& ns, bool cut);

    // Runs `args` in `ns` and waits for it; its output, or a throw when it fails.
    std::string run(const std::string& ns, const std::vector<std::string>& args);
    // Starts `args` in `ns` (stdout and stderr to `logFile` when given);
    // the pid. Ended (SIGTERM, then SIGKILL) by stop() or the destructor.
    pid_t spawn(const std::string& ns, const std::vector<std::string>& args, const std::string& logFile = "");
    // Ends one spawned program; its exit status as a shell gives it.
    int stop(pid_t pid);

    // coturn's `turnserver` in `ns`, started by hand (no service, no
    // configuration file): UDP and TCP on `address`:`port`, relaying from
    // `address`, one static user (long-term credentials, realm "velto"); TLS
    // on `tls.port` when it is given, none otherwise; its log (and pid file)
    // in `dir`. Returns once it takes TCP connections; stopped as spawn()'s are.
    pid_t startTurnServer(const std::string& ns, const std::string& address, int port, const std::string& user,
                          const std::string& password, const std::string& dir, const TurnTls& tls = TurnTls());
    // Polls until a TCP connection to `address`:`port` from `ns` succeeds; false on time-out.
    static bool waitForTcp(const std::string& ns, const std::string& address, int port,
                           std::chrono::milliseconds timeout);

    // While it lives, the calling thread is in `ns`; threads it starts then
    // stay there. Back to where it was on destruction.
    class Inside {
    public:
        explicit Inside(const std::string& ns);
        ~Inside();
        Inside(const Inside&) = delete;
        Inside& operator=(const Inside&) = delete;

    private:
        int previous_ = -1;
    };

private:
    std::string prefix_;
    std::vector<std::string> namespaces_;
    std::vector<pid_t> spawned_;
    int links_ = 0;
};

}  // namespace velto::test
