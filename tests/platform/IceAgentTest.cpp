// The engine's ICE agent on loopback: two agents (one controlling, one
// controlled) find a pair and carry datagrams over it, directly and through a
// TURN server (coturn, started here by hand) over TCP; the login's server
// URLs are read or refused.
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
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <glib.h>
#include <gtest/gtest.h>

#include "IcePort.h"
#include "IceServers.h"

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
// test (never as a service) and ended with it.
class TurnServer {
public:
    TurnServer()
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
                                         "--no-tls",
                                         "--no-dtls",
                                         "--no-cli",
                                         "--allow-loopback-peers",
                                         "--userdb",
                                         dir_ + "/turndb",
                                         "--pidfile",
                                         dir_ + "/turn.pid",
                                         "--log-file",
                                         dir_ + "/turn.log"};
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
        for (int i = 0; i < 100 && !acceptsTcp(port_); ++i)
            std::this_thread::sleep_for(50ms);
        ready_ = acceptsTcp(port_);
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
    std::string url(const std::string& transport) const
    {
        return "turn:127.0.0.1:" + std::to_string(port_) + "?transport=" + transport;
    }

private:
    std::string dir_;
    pid_t pid_ = -1;
    int port_ = 0;
    bool ready_ = false;
};

TEST(IceAgent, ARelayedPairOverTcpThroughTurnCarriesDatagramsAndSaysSo)
{
    TurnServer turn;
    ASSERT_TRUE(turn.ready()) << "turnserver (coturn) did not start";
    Side relayed, direct;
    IceAgent::Settings settings;
    settings.servers = usableIceServers({{turn.url("tcp"), "u", "p"}});
    ASSERT_EQ(settings.servers.size(), 1u);
    settings.relayOnly = true;
    relayed.start(settings);
    IceAgent::Settings peer;
    peer.controlling = false;
    peer.loopback = true;
    direct.start(peer);
    const auto ofRelayed = relayed.candidates([](const auto& c) { return hasType(c, "relay"); });
    ASSERT_TRUE(hasType(ofRelayed, "relay"));
    EXPECT_FALSE(hasType(ofRelayed, "host"));
    const auto ofDirect = direct.candidates(hasLoopbackHost);
    introduce(relayed, ofRelayed, direct, ofDirect);

    ASSERT_TRUE(relayed.waitSelected());
    const IcePath path = relayed.agent().selectedPath();
    EXPECT_EQ(path.local, "relay");
    EXPECT_EQ(path.remote, "host");
    EXPECT_EQ(path.transport, "tcp");
    EXPECT_TRUE(Side::deliver(relayed, direct, "through the relay"));
    EXPECT_TRUE(Side::deliver(direct, relayed, "back through the relay"));
    relayed.stop();
    direct.stop();
    // The relay's answer to giving up the allocation went to the agent's own
    // context: on the caller's (a program's main loop) it would reach the
    // agent after it is gone.
    EXPECT_FALSE(g_main_context_pending(nullptr));
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
    side.start(settings);
    IceAgent::Settings other;
    other.controlling = false;
    other.loopback = true;
    peer.start(other);
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

}  // namespace
}  // namespace velto_media
