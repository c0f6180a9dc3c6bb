#include "TlsTunnel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <list>
#include <string>
#include <vector>

#include "LogText.h"

namespace velto_media {
namespace {

using Clock = std::chrono::steady_clock;

bool isIpAddress(const std::string& host)
{
    in_addr v4{};
    in6_addr v6{};
    return inet_pton(AF_INET, host.c_str(), &v4) == 1 || inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

// One connection of the agent's, carried through TLS to the server.
struct Connection {
    enum class State { Connecting, Handshaking, Relaying };
    State state = State::Connecting;
    int local = -1;   // the agent's side, on the loopback
    int remote = -1;  // to the server
    SSL* tls = nullptr;
    Clock::time_point deadline;  // for connecting and the handshake
    std::string toServer;        // read from the agent, not yet written through TLS
    std::string toAgent;         // read through TLS, not yet written to the agent
    size_t retryLength = 0;      // an SSL_write that must be repeated with this length
    bool remoteWantsWrite = false;  // TLS waits for the socket to take more
    bool broken = false;            // a socket of it failed, or the agent left

    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection()
    {
        if (tls)
            SSL_free(tls);
        if (remote >= 0)
            ::close(remote);
        if (local >= 0)
            ::close(local);
    }
};

}  // namespace

struct TlsTunnel::Impl {
    TlsTunnel::Target target;
    std::chrono::milliseconds setUpTime{5000};
    SSL_CTX* context = nullptr;
    int listener = -1;
    int wake = -1;
    std::list<Connection> connections;
    std::atomic<int>* established = nullptr;
    // Said once per tunnel: the agent may connect from several addresses.
    bool refusalTold = false;
    bool failureTold = false;

    ~Impl()
    {
        connections.clear();
        if (context)
            SSL_CTX_free(context);
        if (listener >= 0)
            ::close(listener);
        if (wake >= 0)
            ::close(wake);
    }

    std::string serverName() const
    {
        return velto_platform::escapedForLog(target.host) + ":" + std::to_string(target.port);
    }

    void tellFailure(const std::string& why)
    {
        if (failureTold)
            return;
        failureTold = true;
        std::cerr << "velto_webrtc_media: TURN server " << serverName() << " over TLS gave no connection: " << why
                  << std::endl;
    }

    void run()
    {
        // OpenSSL writes to a server that went away with plain write(): the
        // signal that would end the program stays blocked on this thread,
        // and the write fails instead.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        std::vector<pollfd> fds;
        std::vector<Connection*> owners;  // by pollfd, null for the wake and the listener
        std::vector<bool> agentSide;      // by pollfd: the agent's end of a connection
        for (;;) {
            fds.clear();
            owners.clear();
            agentSide.clear();
            fds.push_back({wake, POLLIN, 0});
            owners.push_back(nullptr);
            agentSide.push_back(false);
            if (static_cast<int>(connections.size()) < TlsTunnel::kMaxConnections) {
                fds.push_back({listener, POLLIN, 0});
                owners.push_back(nullptr);
                agentSide.push_back(false);
            }
            auto wait = std::chrono::milliseconds(-1);
            const auto now = Clock::now();
            for (Connection& c : connections) {
                short local = 0, remote = 0;
                if (c.state == Connection::State::Connecting) {
                    remote = POLLOUT;
                } else if (c.state == Connection::State::Handshaking) {
                    remote = c.remoteWantsWrite ? POLLOUT : POLLIN;
                } else {
                    if (c.toServer.size() < TlsTunnel::kBufferBytes)
                        local |= POLLIN;
                    if (!c.toAgent.empty())
                        local |= POLLOUT;
                    if (c.toAgent.size() < TlsTunnel::kBufferBytes)
                        remote |= POLLIN;
                    if (c.remoteWantsWrite)
                        remote |= POLLOUT;
                }
                if (c.state != Connection::State::Relaying) {
                    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(c.deadline - now) +
                                      std::chrono::milliseconds(1);
                    wait = wait.count() < 0 ? left : std::min(wait, left);
                }
                // The agent's side is watched for its end even while it may not be read.
                fds.push_back({c.local, local, 0});
                owners.push_back(&c);
                agentSide.push_back(true);
                fds.push_back({c.remote, remote, 0});
                owners.push_back(&c);
                agentSide.push_back(false);
            }
            const int timeout = wait.count() < 0 ? -1 : static_cast<int>(std::max<long long>(0, wait.count()));
            const int ready = ::poll(fds.data(), fds.size(), timeout);
            if (ready < 0 && errno != EINTR)
                return;
            if (fds[0].revents)
                return;  // stop()
            if (fds.size() > 1 && !owners[1] && (fds[1].revents & POLLIN))
                accept();
            // A failing connect or handshake is told by its own step; an
            // agent that left needs no connection set up any more.
            for (size_t i = 1; i < fds.size(); ++i) {
                if (!owners[i])
                    continue;
                const bool relaying = owners[i]->state == Connection::State::Relaying;
                if (((relaying || agentSide[i]) && (fds[i].revents & (POLLERR | POLLNVAL))) ||
                    (agentSide[i] && !relaying && (fds[i].revents & POLLHUP)))
                    owners[i]->broken = true;
            }
            for (auto it = connections.begin(); it != connections.end();) {
                if (it->broken || !step(*it))
                    it = connections.erase(it);
                else
                    ++it;
            }
        }
    }

    void accept()
    {
        const int local = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (local < 0)
            return;
        if (static_cast<int>(connections.size()) >= TlsTunnel::kMaxConnections) {
            ::close(local);
            return;
        }
        // Media rides on it: small writes go at once, not after the peer's delayed acknowledgement.
        const int one = 1;
        setsockopt(local, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        connections.emplace_back();
        Connection& c = connections.back();
        c.local = local;
        c.deadline = Clock::now() + setUpTime;
        c.toServer.reserve(TlsTunnel::kBufferBytes);
        c.toAgent.reserve(TlsTunnel::kBufferBytes);
        if (!connect(c))
            connections.pop_back();
    }

    bool connect(Connection& c)
    {
        sockaddr_storage address{};
        socklen_t length = 0;
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        if (inet_pton(AF_INET, target.address.c_str(), &v4->sin_addr) == 1) {
            v4->sin_family = AF_INET;
            v4->sin_port = htons(static_cast<uint16_t>(target.port));
            length = sizeof *v4;
        } else if (inet_pton(AF_INET6, target.address.c_str(), &v6->sin6_addr) == 1) {
            v6->sin6_family = AF_INET6;
            v6->sin6_port = htons(static_cast<uint16_t>(target.port));
            length = sizeof *v6;
        } else {
            return false;
        }
        c.remote = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (c.remote < 0)
            return false;
        const int one = 1;
        setsockopt(c.remote, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (::connect(c.remote, reinterpret_cast<const sockaddr*>(&address), length) != 0 && errno != EINPROGRESS) {
            tellFailure(std::string("cannot connect (") + std::strerror(errno) + ")");
            return false;
        }
        return true;
    }

    bool startTls(Connection& c)
    {
        c.tls = SSL_new(context);
        if (!c.tls || SSL_set_fd(c.tls, c.remote) != 1)
            return false;
        SSL_set_mode(c.tls, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        X509_VERIFY_PARAM* param = SSL_get0_param(c.tls);
        if (isIpAddress(target.host)) {
            if (X509_VERIFY_PARAM_set1_ip_asc(param, target.host.c_str()) != 1)
                return false;
        } else {
            X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
            if (X509_VERIFY_PARAM_set1_host(param, target.host.c_str(), 0) != 1 ||
                SSL_set_tlsext_host_name(c.tls, target.host.c_str()) != 1)
                return false;
        }
        c.state = Connection::State::Handshaking;
        return true;
    }

    // Moves a connection on as far as it goes now; false when it ended.
    bool step(Connection& c)
    {
        if (c.state == Connection::State::Connecting) {
            pollfd probe{c.remote, POLLOUT, 0};
            if (::poll(&probe, 1, 0) <= 0)
                return notLate(c, "did not take the connection");
            int error = 0;
            socklen_t size = sizeof error;
            getsockopt(c.remote, SOL_SOCKET, SO_ERROR, &error, &size);
            if (error != 0) {
                tellFailure(std::string("cannot connect (") + std::strerror(error) + ")");
                return false;
            }
            if (!startTls(c))
                return false;
        }
        if (c.state == Connection::State::Handshaking) {
            ERR_clear_error();
            const int done = SSL_connect(c.tls);
            if (done != 1) {
                const int error = SSL_get_error(c.tls, done);
                if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
                    c.remoteWantsWrite = error == SSL_ERROR_WANT_WRITE;
                    return notLate(c, "did not finish the TLS handshake");
                }
                const long verified = SSL_get_verify_result(c.tls);
                if (verified != X509_V_OK) {
                    if (!refusalTold)
                        std::cerr << "velto_webrtc_media: TURN server " << serverName()
                                  << " over TLS left out: its certificate was refused ("
                                  << X509_verify_cert_error_string(verified) << ")" << std::endl;
                    refusalTold = true;
                } else {
                    char reason[256];
                    ERR_error_string_n(ERR_peek_last_error(), reason, sizeof reason);
                    tellFailure(std::string("the TLS handshake failed (") + reason + ")");
                }
                return false;
            }
            c.state = Connection::State::Relaying;
            c.remoteWantsWrite = false;
            ++*established;
        }
        return relay(c);
    }

    bool notLate(const Connection& c, const char* what)
    {
        if (Clock::now() < c.deadline)
            return true;
        tellFailure(std::string(what) + " within " + std::to_string(setUpTime.count()) + " ms");
        return false;
    }

    // Carries what each side has for the other; false when either side ended.
    bool relay(Connection& c)
    {
        for (bool moved = true; moved;) {
            moved = false;
            // Agent -> server.
            if (c.toServer.size() < TlsTunnel::kBufferBytes) {
                char buffer[16 * 1024];
                const size_t room = std::min(sizeof buffer, TlsTunnel::kBufferBytes - c.toServer.size());
                const ssize_t got = ::recv(c.local, buffer, room, MSG_DONTWAIT);
                if (got == 0)
                    return false;
                if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                    return false;
                if (got > 0) {
                    c.toServer.append(buffer, static_cast<size_t>(got));
                    moved = true;
                }
            }
            if (!c.toServer.empty()) {
                const size_t length = c.retryLength ? c.retryLength : c.toServer.size();
                ERR_clear_error();
                const int wrote = SSL_write(c.tls, c.toServer.data(), static_cast<int>(length));
                if (wrote > 0) {
                    c.toServer.erase(0, static_cast<size_t>(wrote));
                    c.retryLength = 0;
                    c.remoteWantsWrite = false;
                    moved = true;
                } else {
                    const int error = SSL_get_error(c.tls, wrote);
                    if (error != SSL_ERROR_WANT_WRITE && error != SSL_ERROR_WANT_READ)
                        return false;
                    c.retryLength = length;
                    c.remoteWantsWrite = error == SSL_ERROR_WANT_WRITE;
                }
            }
            // Server -> agent.
            if (c.toAgent.size() < TlsTunnel::kBufferBytes) {
                char buffer[16 * 1024];
                const size_t room = std::min(sizeof buffer, TlsTunnel::kBufferBytes - c.toAgent.size());
                ERR_clear_error();
                const int got = SSL_read(c.tls, buffer, static_cast<int>(room));
                if (got > 0) {
                    c.toAgent.append(buffer, static_cast<size_t>(got));
                    moved = true;
                } else {
                    const int error = SSL_get_error(c.tls, got);
                    if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
                        return false;
                    if (error == SSL_ERROR_WANT_WRITE)
                        c.remoteWantsWrite = true;
                }
            }
            if (!c.toAgent.empty()) {
                const ssize_t wrote = ::send(c.local, c.toAgent.data(), c.toAgent.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
                if (wrote < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                    return false;
                if (wrote > 0) {
                    c.toAgent.erase(0, static_cast<size_t>(wrote));
                    moved = true;
                }
            }
        }
        return true;
    }
};

std::unique_ptr<TlsTunnel> TlsTunnel::open(const Target& target, std::chrono::milliseconds setUpTime,
                                           std::string* why)
{
    const auto fail = [why](const std::string& reason) -> std::unique_ptr<TlsTunnel> {
        if (why)
            *why = reason;
        return nullptr;
    };
    std::unique_ptr<TlsTunnel> tunnel(new TlsTunnel());
    tunnel->impl_ = std::make_unique<Impl>();
    Impl& d = *tunnel->impl_;
    d.target = target;
    d.setUpTime = setUpTime;
    d.established = &tunnel->established_;

    d.context = SSL_CTX_new(TLS_client_method());
    if (!d.context || SSL_CTX_set_min_proto_version(d.context, TLS1_2_VERSION) != 1)
        return fail("no TLS context");
    SSL_CTX_set_default_verify_paths(d.context);
    if (const char* caFile = std::getenv("VELTO_CA_BUNDLE"); caFile && *caFile) {
        if (SSL_CTX_load_verify_locations(d.context, caFile, nullptr) != 1)
            return fail("cannot read the CA file named by VELTO_CA_BUNDLE");
    }
    SSL_CTX_set_verify(d.context, SSL_VERIFY_PEER, nullptr);

    d.wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    d.listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (d.wake < 0 || d.listener < 0)
        return fail("no socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(d.listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(d.listener, kMaxConnections) != 0 ||
        getsockname(d.listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return fail(std::string("no listener on the loopback (") + std::strerror(errno) + ")");
    tunnel->localPort_ = ntohs(address.sin_port);
    tunnel->thread_ = std::thread([&d] { d.run(); });
    return tunnel;
}

TlsTunnel::~TlsTunnel()
{
    stop();
}

void TlsTunnel::stop()
{
    if (!thread_.joinable())
        return;
    const uint64_t one = 1;
    (void)!::write(impl_->wake, &one, sizeof one);
    thread_.join();
    impl_->connections.clear();
}

}  // namespace velto_media
