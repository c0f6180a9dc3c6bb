// The engine's ICE agent on loopback: two agents (one controlling, one
// controlled) find a pair and carry datagrams over it, directly and through a
// TURN server (coturn, started here by hand) over TCP or TLS; a relay whose
// certificate is refused gives nothing; the login's server URLs are read or
// refused.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <glib.h>
#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include "IcePort.h"
#include "IceServers.h"
#include "TestCertificates.h"
#include "TlsTunnel.h"

namespace velto_media {
namespace {

using namespace std::chrono_literals;

// --- server URLs ----------------------------------------------------------------

TEST(IceServers, UrlsOfTheLoginAreReadOrRefused)
{
    using K = IceServer::Kind;
    using T = IceServer::Transport;
    struct Case {
        std::string url;
        bool credentials;
        bool ok;
        K kind;
        T transport;
        std::string host;
        int port;
    };
    const std::vector<Case> cases = {
        {"stun:stun.example.org", false, true, K::Stun, T::Udp, "stun.example.org", 3478},
        {"stun:192.0.2.1:19302", false, true, K::Stun, T::Udp, "192.0.2.1", 19302},
        {"stun:[2001:db8::1]:3479", false, true, K::Stun, T::Udp, "2001:db8::1", 3479},
        {"turn:192.0.2.1", true, true, K::Turn, T::Udp, "192.0.2.1", 3478},
        {"turn:192.0.2.1:80?transport=tcp", true, true, K::Turn, T::Tcp, "192.0.2.1", 80},
        {"turn:192.0.2.1?transport=udp", true, true, K::Turn, T::Udp, "192.0.2.1", 3478},
        {"turns:relay.example.org?transport=tcp", true, true, K::Turn, T::Tls, "relay.example.org", 5349},
        {"turns:relay.example.org:443", true, true, K::Turn, T::Tls, "relay.example.org", 443},
        // refused
        {"turn:192.0.2.1", false, false, K::Turn, T::Udp, "", 0},            // no credentials
        {"turns:192.0.2.1?transport=udp", true, false, K::Turn, T::Udp, "", 0},
        {"turn:192.0.2.1?transport=sctp", true, false, K::Turn, T::Udp, "", 0},
        {"stun:192.0.2.1?transport=tcp", false, false, K::Stun, T::Udp, "", 0},
        {"stun:192.0.2.1:0", false, false, K::Stun, T::Udp, "", 0},
        {"stun:192.0.2.1:65536", false, false, K::Stun, T::Udp, "", 0},
        {"stun:192.0.2.1:", false, false, K::Stun, T::Udp, "", 0},
        {"stun:", false, false, K::Stun, T::Udp, "", 0},
        {"stun:[2001:db8::1", false, false, K::Stun, T::Udp, "", 0},
        {"stun:host name", false, false, K::Stun, T::Udp, "", 0},
        {"http://192.0.2.1", false, false, K::Stun, T::Udp, "", 0},
        {"", false, false, K::Stun, T::Udp, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        IceServer server;
        std::string why;
        const velto_webrtc::ice_server_config config{c.url, c.credentials ? "u" : "", c.credentials ? "p" : ""};
        ASSERT_EQ(parseIceServer(config, &server, &why), c.ok) << why;
        if (!c.ok) {
            EXPECT_FALSE(why.empty());
            continue;
        }
        EXPECT_EQ(server.kind, c.kind);
        EXPECT_EQ(server.transport, c.transport);
        EXPECT_EQ(server.host, c.host);
        EXPECT_EQ(server.port, c.port);
        EXPECT_EQ(server.username, c.kind == K::Turn ? "u" : "");
    }
}

TEST(IceServers, BadOnesAreLoggedEscapedWithoutCredentialsAndLeftOut)
{
    testing::internal::CaptureStderr();
    const std::vector<IceServer> servers = usableIceServers({
        {"stun:192.0.2.1", "", ""},
        {"turn:user:hunter2@192.0.2.2\n?transport=x", "user", "sekret-credential"},
        {"turn:192.0.2.3?transport=tcp", "user", "sekret-credential"},
    });
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0].host, "192.0.2.1");
    EXPECT_EQ(servers[1].host, "192.0.2.3");
    EXPECT_NE(log.find("left out"), std::string::npos) << log;
    EXPECT_NE(log.find("\\x0a"), std::string::npos) << log;  // the line end escaped
    EXPECT_EQ(log.find("hunter2"), std::string::npos) << log;
    EXPECT_EQ(log.find("sekret"), std::string::npos) << log;
}

// --- two agents on loopback ----------------------------------------------------

// One side of a connection: its agent, the candidates it found, and what it
// received.
class Side : public IceListener {
public:
    Side() = default;

    void start(IceAgent::Settings settings)
    {
        agent_ = IceAgent::start(settings, this);
        ASSERT_TRUE(agent_);
        port_ = agent_->port();
    }

    void onLocalCandidate(const std::string& candidate, const std::string&) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        candidates_.push_back(candidate);
        changed_.notify_all();
    }
    void onPathSelected(const IcePath&) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        selected_ = true;
        changed_.notify_all();
    }
    void onPathFailed() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failed_ = true;
        changed_.notify_all();
    }

    // The candidates found so far, once `enough` says they are enough.
    std::vector<std::string> candidates(const std::function<bool(const std::vector<std::string>&)>& enough)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, 10s, [&] { return enough(candidates_); });
        return candidates_;
    }

    bool waitSelected()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 20s, [&] { return selected_ || failed_; }) && selected_;
    }

    // Sends `text` until the other side has it (datagrams may go before the
    // other side's pair is ready).
    static bool deliver(Side& from, Side& to, const std::string& text)
    {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            from.port_->send(reinterpret_cast<const uint8_t*>(text.data()), text.size());
            pollfd ready{to.port_->fd(), POLLIN, 0};
            if (::poll(&ready, 1, 100) > 0) {
                uint8_t buffer[1500];
                for (long got; (got = to.port_->receive(buffer, sizeof buffer)) >= 0;)
                    if (std::string(reinterpret_cast<char*>(buffer), size_t(got)) == text)
                        return true;
            }
        }
        return false;
    }

    IceAgent& agent() { return *agent_; }

    void stop()
    {
        if (agent_)
            agent_->stop();
    }

private:
    std::shared_ptr<IceAgent> agent_;
    std::unique_ptr<PacketPort> port_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> candidates_;
    bool selected_ = false;
    bool failed_ = false;
};

bool hasType(const std::vector<std::string>& candidates, const std::string& type)
{
    for (const std::string& c : candidates)
        if (c.find(" typ " + type) != std::string::npos)
            return true;
    return false;
}

bool hasLoopbackHost(const std::vector<std::string>& candidates)
{
    for (const std::string& c : candidates)
        if (isLoopbackCandidate(c) && c.find(" typ host") != std::string::npos &&
            (c.find(" udp ") != std::string::npos || c.find(" UDP ") != std::string::npos))
            return true;
    return false;
}

// Hands each side the other's credentials and `candidates` of the other.
void introduce(Side& a, const std::vector<std::string>& ofA, Side& b, const std::vector<std::string>& ofB)
{
    a.agent().setRemoteCredentials(b.agent().localUfrag(), b.agent().localPassword());
    b.agent().setRemoteCredentials(a.agent().localUfrag(), a.agent().localPassword());
    for (const std::string& c : ofB)
        a.agent().addRemoteCandidate(c);
    for (const std::string& c : ofA)
        b.agent().addRemoteCandidate(c);
}

TEST(IceAgent, TwoAgentsOnLoopbackCarryDatagramsBothWaysOverTheSelectedPair)
{
    Side controlling, controlled;
    IceAgent::Settings settings;
    settings.loopback = true;
    controlling.start(settings);
    settings.controlling = false;
    controlled.start(settings);
    const auto ofA = controlling.candidates(hasLoopbackHost);
    const auto ofB = controlled.candidates(hasLoopbackHost);
    ASSERT_TRUE(hasLoopbackHost(ofA));
    ASSERT_TRUE(hasLoopbackHost(ofB));
    introduce(controlling, ofA, controlled, ofB);

    ASSERT_TRUE(controlling.waitSelected());
    EXPECT_EQ(controlling.agent().selectedPath().local, "host");
    EXPECT_EQ(controlling.agent().selectedPath().remote, "host");
    EXPECT_EQ(controlling.agent().selectedPath().transport, "udp");
    EXPECT_TRUE(Side::deliver(controlling, controlled, "to the controlled side"));
    EXPECT_TRUE(Side::deliver(controlled, controlling, "to the controlling side"));
    controlling.stop();
    controlled.stop();
}

TEST(IceAgent, CandidatesItCannotUseAreRefused)
{
    Side side;
    side.start(IceAgent::Settings());
    for (const std::string& candidate : {
             std::string("candidate:1 2 udp 2130706431 192.0.2.1 5000 typ host"),  // RTCP's own component
             std::string("candidate:1 1 udp 2130706431 192.0.2.1 typ host"),
             std::string("a=ice-ufrag:abcd"),
             std::string("candidate:1 1 udp 2130706431 192.0.2.1 5000 typ host") + std::string(600, ' '),
         })
        EXPECT_FALSE(side.agent().addRemoteCandidate(candidate)) << candidate;
    EXPECT_TRUE(side.agent().addRemoteCandidate("a=candidate:1 1 udp 2130706431 2001:db8::1 5000 typ host"));
    EXPECT_TRUE(side.agent().addRemoteCandidate("candidate:2 1 tcp 1518280447 192.0.2.1 9 typ host tcptype active"));
    EXPECT_TRUE(side.agent().addRemoteCandidate(
        "candidate:3 1 udp 1694498815 198.51.100.7 40000 typ srflx raddr 10.0.0.2 rport 5000"));
    // A peer that names candidates without end is cut off.
    int taken = 3;
    for (int i = 0; i < 100; ++i)
        taken += side.agent().addRemoteCandidate("candidate:4 1 udp 2130706431 192.0.2.1 " +
                                                 std::to_string(6000 + i) + " typ host");
    EXPECT_LE(taken, 32);
    side.stop();
    // Stopped: nothing more is taken, and nothing breaks.
    EXPECT_FALSE(side.agent().addRemoteCandidate("candidate:1 1 udp 2130706431 192.0.2.1 5000 typ host"));
    EXPECT_FALSE(side.agent().setRemoteCredentials("", ""));
}

// --- through a TURN server -------------------------------------------------------

int freePort(int type)
{
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool acceptsTcp(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// coturn's turnserver on loopback with one static user, run as a child of the
// test (never as a service) and ended with it; with `tls` (a certificate and
// its key) it takes TLS too, on a port of its own.
class TurnServer {
public:
    explicit TurnServer(const velto::test::TestCa::Files* tls = nullptr)
    {
        dir_ = "/tmp/velto-turn-XXXXXX";
        if (!::mkdtemp(dir_.data()))
            return;
        port_ = freePort(SOCK_STREAM);
        const int relayBase = 20000 + (::getpid() % 200) * 100;
        std::vector<std::string> args = {"turnserver",
                                         "-n",
                                         "--lt-cred-mech",
                                         "--user",
                                         "u:p",
                                         "--realm",
                                         "test",
                                         "--listening-ip",
                                         "127.0.0.1",
                                         "--relay-ip",
                                         "127.0.0.1",
                                         "--listening-port",
                                         std::to_string(port_),
                                         "--min-port",
                                         std::to_string(relayBase),
                                         "--max-port",
                                         std::to_string(relayBase + 99),
                                         "--no-dtls",
                                         "--no-cli",
                                         "--allow-loopback-peers",
                                         "--userdb",
                                         dir_ + "/turndb",
                                         "--pidfile",
                                         dir_ + "/turn.pid",
                                         "--log-file",
                                         dir_ + "/turn.log"};
        if (tls) {
            tlsPort_ = freePort(SOCK_STREAM);
            args.insert(args.end(), {"--tls-listening-port", std::to_string(tlsPort_), "--cert", tls->certificate,
                                     "--pkey", tls->key});
        } else {
            args.push_back("--no-tls");
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            // Its own words go to its directory, not into the test's output.
            const int out = ::open((dir_ + "/turn.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out >= 0) {
                ::dup2(out, 1);
                ::dup2(out, 2);
            }
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execvp("turnserver", argv.data());
            ::_exit(127);
        }
        const auto listening = [this] { return acceptsTcp(port_) && (tlsPort_ == 0 || acceptsTcp(tlsPort_)); };
        for (int i = 0; i < 100 && !listening(); ++i)
            std::this_thread::sleep_for(50ms);
        ready_ = listening();
    }
    ~TurnServer()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (!dir_.empty())
            std::system(("rm -rf " + dir_).c_str());
    }
    bool ready() const { return ready_; }
    // "udp", "tcp" or "tls" (a turns: URL).
    std::string url(const std::string& transport) const
    {
        if (transport == "tls")
            return "turns:127.0.0.1:" + std::to_string(tlsPort_) + "?transport=tcp";
        return "turn:127.0.0.1:" + std::to_string(port_) + "?transport=" + transport;
    }
    int port() const { return port_; }
    int tlsPort() const { return tlsPort_; }
private:
    std::string dir_;
    pid_t pid_ = -1;
    int port_ = 0;
    int tlsPort_ = 0;
    bool ready_ = false;
};

// A directory of the test's own with a CA (trusted through VELTO_CA_BUNDLE
// while this lives) and a certificate for 127.0.0.1 from it.
class TrustedCa {
public:
    TrustedCa()
    {
        dir_ = "/tmp/velto-ca-XXXXXX";
        if (!::mkdtemp(dir_.data()))
            throw std::runtime_error("mkdtemp");
        ca_ = std::make_unique<velto::test::TestCa>(dir_);
        if (const char* before = std::getenv("VELTO_CA_BUNDLE"))
            before_ = before;
        ::setenv("VELTO_CA_BUNDLE", ca_->caFile().c_str(), 1);
    }
    ~TrustedCa()
    {
        if (before_)
            ::setenv("VELTO_CA_BUNDLE", before_->c_str(), 1);
        else
            ::unsetenv("VELTO_CA_BUNDLE");
        std::system(("rm -rf " + dir_).c_str());
    }
    velto::test::TestCa& ca() { return *ca_; }

private:
    std::string dir_;
    std::unique_ptr<velto::test::TestCa> ca_;
    std::optional<std::string> before_;
};

// `relayed` may use only the given relays (each of them usable); `direct`, its
// peer, answers on the loopback.
// `side` with its settings; `peer`, the controlled end, answers on the loopback.
void startWithLoopbackPeer(Side& side, Side& peer, const IceAgent::Settings& settings)
{
    side.start(settings);
    IceAgent::Settings other;
    other.controlling = false;
    other.loopback = true;
    peer.start(other);
}

void startThroughRelaysOnly(Side& relayed, Side& direct, const std::vector<velto_webrtc::ice_server_config>& urls)
{
    IceAgent::Settings settings;
    settings.servers = usableIceServers(urls);
    ASSERT_EQ(settings.servers.size(), urls.size());
    settings.relayOnly = true;
    startWithLoopbackPeer(relayed, direct, settings);
}

TEST(IceAgent, ARelayedPairThroughTurnOverTcpOrTlsCarriesDatagramsAndSaysSo)
{
    TrustedCa trusted;
    const auto certificate = trusted.ca().issue("turn", {"127.0.0.1", "localhost"});
    TurnServer turn(&certificate);
    ASSERT_TRUE(turn.ready()) << "turnserver (coturn) did not start";
    struct Case {
        std::string url;
        std::string transport;
    };
    const Case cases[] = {
        {turn.url("tcp"), "tcp"},
        {turn.url("tls"), "tls"},
        {"turns:localhost:" + std::to_string(turn.tlsPort()), "tls"},  // the certificate names the host too
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const std::string& transport = c.transport;
        Side relayed, direct;
        ASSERT_NO_FATAL_FAILURE(startThroughRelaysOnly(relayed, direct, {{c.url, "u", "p"}}));
        const auto ofRelayed = relayed.candidates([](const auto& c) { return hasType(c, "relay"); });
        ASSERT_TRUE(hasType(ofRelayed, "relay"));
        EXPECT_FALSE(hasType(ofRelayed, "host"));
        const auto ofDirect = direct.candidates(hasLoopbackHost);
        introduce(relayed, ofRelayed, direct, ofDirect);

        ASSERT_TRUE(relayed.waitSelected());
        const IcePath path = relayed.agent().selectedPath();
        EXPECT_EQ(path.local, "relay");
        EXPECT_EQ(path.remote, "host");
        EXPECT_EQ(path.transport, transport);
        EXPECT_TRUE(Side::deliver(relayed, direct, "through the relay"));
        EXPECT_TRUE(Side::deliver(direct, relayed, "back through the relay"));
        relayed.stop();
        direct.stop();
        // The relay's answer to giving up the allocation went to the agent's
        // own context: on the caller's (a program's main loop) it would reach
        // the agent after it is gone.
        EXPECT_FALSE(g_main_context_pending(nullptr));
    }
}

// What the error output took since CaptureStderr(), once `done` shows in it
// (at most 15 s); the output is no longer taken afterwards.
std::string stderrUntil(const std::string& done)
{
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    std::string log;
    for (;;) {
        std::this_thread::sleep_for(200ms);
        fflush(stderr);
        log += testing::internal::GetCapturedStderr();
        if (log.find(done) != std::string::npos || std::chrono::steady_clock::now() > deadline)
            return log;
        testing::internal::CaptureStderr();
    }
}

TEST(IceAgent, ARelayOverTlsWhoseCertificateIsRefusedIsToldGivesNoRelayAndTheHostPairStillWorks)
{
    TrustedCa trusted;
    struct Case {
        const char* name;
        velto::test::TestCa::Issuer issuer;
        const char* names;  // what the certificate names
        const char* host;   // what the URL names
        const char* why;    // in the log line
    };
    const Case cases[] = {
        {"self-signed", velto::test::TestCa::SelfSigned, "127.0.0.1", "127.0.0.1", "self-signed certificate"},
        {"of another address", velto::test::TestCa::ThisCa, "198.51.100.9", "127.0.0.1", "IP address mismatch"},
        {"of a host name", velto::test::TestCa::ThisCa, "relay.example.org", "127.0.0.1", "IP address mismatch"},
        {"of the address, not the host", velto::test::TestCa::ThisCa, "127.0.0.1", "localhost", "hostname mismatch"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto certificate = trusted.ca().issue(std::string("turn-") + c.name, {c.names}, c.issuer);
        TurnServer turn(&certificate);
        ASSERT_TRUE(turn.ready()) << "turnserver (coturn) did not start";
        testing::internal::CaptureStderr();
        Side side, peer;
        IceAgent::Settings settings;
        settings.loopback = true;
        const std::string url = std::string("turns:") + c.host + ":" + std::to_string(turn.tlsPort());
        settings.servers = usableIceServers({{url, "u", "p"}});
        startWithLoopbackPeer(side, peer, settings);
        const auto ofSide = side.candidates(hasLoopbackHost);
        const auto ofPeer = peer.candidates(hasLoopbackHost);
        introduce(side, ofSide, peer, ofPeer);
        const bool selected = side.waitSelected();
        const bool delivered = selected && Side::deliver(side, peer, "past the refused relay");
        const std::string log = stderrUntil("its certificate was refused");
        side.stop();
        peer.stop();
        EXPECT_TRUE(delivered);
        EXPECT_EQ(side.agent().selectedPath().local, "host");
        EXPECT_NE(log.find(std::string("TURN server ") + c.host + ":" + std::to_string(turn.tlsPort()) +
                           " over TLS left out: its certificate was refused (" + c.why + ")"),
                  std::string::npos)
            << log;
        EXPECT_EQ(log.find("credential"), std::string::npos) << log;  // not blamed on the user
        EXPECT_FALSE(hasType(side.candidates([](const auto&) { return true; }), "relay"));
    }
}

TEST(IceAgent, ARelayedPairSaysTheWayToTheRelayThatGaveIt)
{
    // Two relays on one server: over TCP with a wrong password, over TLS with
    // the right one; only the latter gives an address, and the path says so.
    TrustedCa trusted;
    const auto certificate = trusted.ca().issue("turn", {"127.0.0.1"});
    TurnServer turn(&certificate);
    ASSERT_TRUE(turn.ready()) << "turnserver (coturn) did not start";
    testing::internal::CaptureStderr();
    Side relayed, direct;
    ASSERT_NO_FATAL_FAILURE(startThroughRelaysOnly(
        relayed, direct, {{turn.url("tcp"), "u", "not-the-password"}, {turn.url("tls"), "u", "p"}}));
    const auto ofRelayed = relayed.candidates([](const auto& c) { return hasType(c, "relay"); });
    const auto ofDirect = direct.candidates(hasLoopbackHost);
    introduce(relayed, ofRelayed, direct, ofDirect);
    const bool selected = relayed.waitSelected();
    const std::string log = stderrUntil("gave no relayed address");
    EXPECT_TRUE(selected);
    EXPECT_EQ(relayed.agent().selectedPath().transport, "tls");
    EXPECT_TRUE(Side::deliver(relayed, direct, "through the relay over TLS"));
    relayed.stop();
    direct.stop();
    EXPECT_NE(log.find("TURN server 127.0.0.1:" + std::to_string(turn.port()) + " over TCP gave no relayed address"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find(" over TLS gave no"), std::string::npos) << log;
}

TEST(IceAgent, WrongTurnCredentialsAreToldAndTheHostPairStillWorks)
{
    TurnServer turn;
    ASSERT_TRUE(turn.ready()) << "turnserver (coturn) did not start";
    testing::internal::CaptureStderr();
    Side side, peer;
    IceAgent::Settings settings;
    settings.loopback = true;
    settings.servers = usableIceServers({{turn.url("tcp"), "u", "not-the-password"}});
    startWithLoopbackPeer(side, peer, settings);
    const auto ofSide = side.candidates(hasLoopbackHost);
    const auto ofPeer = peer.candidates(hasLoopbackHost);
    introduce(side, ofSide, peer, ofPeer);
    ASSERT_TRUE(side.waitSelected());
    EXPECT_TRUE(Side::deliver(side, peer, "past the refusing relay"));
    // Gathering ends once the relay has refused.
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    std::string log;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(200ms);
        fflush(stderr);
        log = testing::internal::GetCapturedStderr();
        if (log.find("gave no relayed address") != std::string::npos)
            break;
        testing::internal::CaptureStderr();
    }
    side.stop();
    peer.stop();
    EXPECT_NE(log.find("TURN server 127.0.0.1:"), std::string::npos) << log;
    EXPECT_NE(log.find("refused the user name or credential"), std::string::npos) << log;
    EXPECT_EQ(log.find("not-the-password"), std::string::npos) << log;
    EXPECT_FALSE(hasType(side.candidates([](const auto&) { return true; }), "relay"));
}

// A TCP listener on a free loopback port.
int loopbackListener(int* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0)
        return -1;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    *port = ntohs(address.sin_port);
    return fd;
}

// The agent's side: a connection to the tunnel's listener.
int connectToTunnel(const TlsTunnel& tunnel)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(tunnel.localPort()));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

TEST(TlsTunnel, AServerThatNeverFinishesItsHandshakeIsLeftWithinTheSetUpTime)
{
    // It takes the connection and says nothing.
    int port = 0;
    const int silent = loopbackListener(&port);
    ASSERT_GE(silent, 0);
    std::string why;
    testing::internal::CaptureStderr();
    auto tunnel = TlsTunnel::open({"127.0.0.1", "127.0.0.1", port}, 300ms, &why);
    ASSERT_TRUE(tunnel) << why;

    const int agent = connectToTunnel(*tunnel);
    ASSERT_GE(agent, 0);
    const char request[] = "an allocation";
    ASSERT_GT(::send(agent, request, sizeof request, MSG_NOSIGNAL), 0);
    const auto start = std::chrono::steady_clock::now();
    pollfd ended{agent, POLLIN, 0};
    ASSERT_EQ(::poll(&ended, 1, 5000), 1);
    char buffer[64];
    EXPECT_LE(::recv(agent, buffer, sizeof buffer, 0), 0) << "the agent's connection is closed";
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 250ms);
    EXPECT_LT(waited, 3s);
    tunnel->stop();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("TURN server 127.0.0.1:" + std::to_string(port) +
                       " over TLS gave no connection: did not finish the TLS handshake within 300 ms"),
              std::string::npos)
        << log;
    EXPECT_EQ(tunnel->established(), 0);
    ::close(agent);
    ::close(silent);
}

TEST(TlsTunnel, AServerThatHangsUpEndsTheAgentsConnectionAndNothingElse)
{
    TrustedCa trusted;
    const auto certificate = trusted.ca().issue("server", {"127.0.0.1"});
    int port = 0;
    const int listener = loopbackListener(&port);
    ASSERT_GE(listener, 0);
    std::string why;
    auto tunnel = TlsTunnel::open({"127.0.0.1", "127.0.0.1", port}, 5s, &why);
    ASSERT_TRUE(tunnel) << why;
    const int agent = connectToTunnel(*tunnel);
    ASSERT_GE(agent, 0);

    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    ASSERT_EQ(SSL_CTX_use_certificate_file(context, certificate.certificate.c_str(), SSL_FILETYPE_PEM), 1);
    ASSERT_EQ(SSL_CTX_use_PrivateKey_file(context, certificate.key.c_str(), SSL_FILETYPE_PEM), 1);
    const int server = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(server, 0);
    SSL* tls = SSL_new(context);
    SSL_set_fd(tls, server);
    ASSERT_EQ(SSL_accept(tls), 1);
    const char hello[] = "an allocation";
    ASSERT_EQ(::send(agent, hello, sizeof hello, MSG_NOSIGNAL), static_cast<ssize_t>(sizeof hello));
    char got[sizeof hello] = {};
    ASSERT_EQ(SSL_read(tls, got, sizeof got), static_cast<int>(sizeof hello));
    EXPECT_STREQ(got, hello);
    EXPECT_EQ(tunnel->established(), 1);

    // Gone at once (a reset), while the agent goes on sending.
    const linger abrupt{1, 0};
    ::setsockopt(server, SOL_SOCKET, SO_LINGER, &abrupt, sizeof abrupt);
    ::close(server);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    bool ended = false;
    const std::string chunk(16 * 1024, 'x');
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        if (::send(agent, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 && errno != EAGAIN)
            ended = true;
        pollfd readable{agent, POLLIN, 0};
        char buffer[64];
        if (::poll(&readable, 1, 10) == 1 && ::recv(agent, buffer, sizeof buffer, MSG_DONTWAIT) <= 0)
            ended = true;
    }
    EXPECT_TRUE(ended) << "the agent's connection ends with the server's";
    tunnel->stop();
    ::close(agent);
    SSL_free(tls);
    SSL_CTX_free(context);
    ::close(listener);
}

}  // namespace
}  // namespace velto_media
