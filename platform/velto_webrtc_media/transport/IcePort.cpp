#include "IcePort.h"

#include "TlsTunnel.h"

#include <arpa/inet.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <agent.h>
#include <interfaces.h>
#include <gio/gio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <future>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace velto_media {
namespace {

constexpr guint kComponent = 1;
// What may wait unread: about a second of a busy meeting; beyond it the
// newest datagrams go, as a full socket buffer would drop them.
constexpr size_t kMaxQueued = 2048;
constexpr size_t kMaxDatagram = 1500;
// Remote candidates one peer may name.
constexpr int kMaxRemoteCandidates = 32;
constexpr size_t kMaxCandidateLength = 512;
// How long a server's name may take to resolve before it is left out.
constexpr guint kResolveTimeoutMs = 3000;
// How long the relays may take to give up their allocations at the end.
constexpr guint kCloseTimeoutMs = 1000;
// How long a relay over TLS may take to connect and finish its handshake.
constexpr std::chrono::milliseconds kTlsSetUpTime{5000};
// How long the candidates' new checks may take once the pair lost consent,
// and how soon after such a recheck a lost pair is simply lost.
constexpr guint kRecheckMs = 5000;
constexpr auto kRecheckSpacing = std::chrono::minutes(2);

std::string typeName(NiceCandidateType type)
{
    switch (type) {
    case NICE_CANDIDATE_TYPE_HOST: return "host";
    case NICE_CANDIDATE_TYPE_SERVER_REFLEXIVE: return "srflx";
    case NICE_CANDIDATE_TYPE_PEER_REFLEXIVE: return "prflx";
    case NICE_CANDIDATE_TYPE_RELAYED: return "relay";
    }
    return "host";
}

bool isNumericAddress(const std::string& host)
{
    NiceAddress address;
    nice_address_init(&address);
    return nice_address_set_from_string(&address, host.c_str()) != 0;
}

std::string withoutAttributePrefix(const std::string& candidate)
{
    return candidate.compare(0, 2, "a=") == 0 ? candidate.substr(2) : candidate;
}

class NiceIceAgent;

class IcePacketPort final : public PacketPort {
public:
    explicit IcePacketPort(std::shared_ptr<NiceIceAgent> agent) : agent_(std::move(agent)) {}
    int fd() const override;
    bool send(const uint8_t* data, size_t size) override;
    long receive(uint8_t* buffer, size_t capacity) override;
    bool setDestination(const std::string&, int) override { return true; }
    int localPort() const override;

private:
    const std::shared_ptr<NiceIceAgent> agent_;
};

class NiceIceAgent final : public IceAgent, public std::enable_shared_from_this<NiceIceAgent> {
public:
    NiceIceAgent(const Settings& settings, IceListener* listener) : settings_(settings), listener_(listener) {}

    ~NiceIceAgent() override
    {
        stop();
        if (ready_ >= 0)
            ::close(ready_);
    }

    bool open()
    {
        ready_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (ready_ < 0)
            return false;
        context_ = g_main_context_new();
        loop_ = g_main_loop_new(context_, FALSE);
        // Aggressive nomination (every check nominates): media goes on the
        // first pair that answers instead of after the checks of them all,
        // which a newcomer would wait for; a better pair found later is taken
        // then, and the checks that keep consent on it tell the peer.
        //
        // Consent (RFC 7675) is kept by checks on the selected pair, but not
        // with libnice's own consent freshness: it sends one check every 4 to
        // 6 s, never resends it, and takes the pair as lost 10 s after the
        // last answer (the RFC waits 30 s), often after a single lost check;
        // on a link losing one datagram in twenty each way the media ended
        // within a minute in most runs. Its keepalive checks go out at the
        // same pace and give the pair up 50 s after the last answer: loss is
        // ridden out, and a cut link still ends the media.
        agent_ = nice_agent_new_full(context_, NICE_COMPATIBILITY_RFC5245, NICE_AGENT_OPTION_ICE_TRICKLE);
        if (!agent_)
            return false;
        // No router mapping asked for on the LAN: the servers give the outside addresses.
        g_object_set(G_OBJECT(agent_), "controlling-mode", settings_.controlling ? TRUE : FALSE, "upnp", FALSE,
                     "force-relay", settings_.relayOnly ? TRUE : FALSE, "keepalive-conncheck", TRUE, nullptr);
        stream_ = nice_agent_add_stream(agent_, 1);
        if (stream_ == 0)
            return false;
        nice_agent_set_stream_name(agent_, stream_, "audio");
        if (settings_.loopback)
            addLocalAddresses();
        g_signal_connect(G_OBJECT(agent_), "new-candidate-full", G_CALLBACK(&NiceIceAgent::onNewCandidate), this);
        g_signal_connect(G_OBJECT(agent_), "new-selected-pair-full", G_CALLBACK(&NiceIceAgent::onSelectedPair),
                         this);
        g_signal_connect(G_OBJECT(agent_), "candidate-gathering-done", G_CALLBACK(&NiceIceAgent::onGatheringDone),
                         this);
        g_signal_connect(G_OBJECT(agent_), "component-state-changed", G_CALLBACK(&NiceIceAgent::onStateChanged),
                         this);
        nice_agent_attach_recv(agent_, stream_, kComponent, context_, &NiceIceAgent::onReceive, this);
        gchar* ufrag = nullptr;
        gchar* password = nullptr;
        if (!nice_agent_get_local_credentials(agent_, stream_, &ufrag, &password))
            return false;
        {
            std::lock_guard<std::mutex> lock(pathMutex_);
            ufrag_ = ufrag;
            password_ = password;
        }
        g_free(ufrag);
        g_free(password);
        thread_ = std::thread([this] { run(); });
        // Gathering raises signals: it starts on the agent's thread.
        invoke([this] { resolveServers(); });
        return true;
    }

    std::string localUfrag() const override
    {
        std::lock_guard<std::mutex> lock(pathMutex_);
        return ufrag_;
    }
    std::string localPassword() const override
    {
        std::lock_guard<std::mutex> lock(pathMutex_);
        return password_;
    }

    bool restart() override
    {
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> restarted = done->get_future();
        invoke([this, done] {
            leavePair();
            failed_ = false;
            endRecheck();
            lastRecheck_.reset();
            remoteUfrag_.clear();
            remotePassword_.clear();
            remoteLines_.clear();
            remoteDone_ = false;
            nice_agent_restart_stream(agent_, stream_);
            gchar* ufrag = nullptr;
            gchar* password = nullptr;
            if (nice_agent_get_local_credentials(agent_, stream_, &ufrag, &password)) {
                std::lock_guard<std::mutex> lock(pathMutex_);
                ufrag_ = ufrag;
                password_ = password;
            }
            g_free(ufrag);
            g_free(password);
            done->set_value();
        });
        if (restarted.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
            return false;
        try {
            restarted.get();  // a stopped agent dropped the work
        } catch (const std::future_error&) {
            return false;
        }
        std::lock_guard<std::mutex> lock(contextMutex_);
        remoteCandidates_ = 0;
        return true;
    }

    bool setRemoteCredentials(const std::string& ufrag, const std::string& password) override
    {
        if (ufrag.empty() || password.empty() || ufrag.size() > 256 || password.size() > 256)
            return false;
        invoke([this, ufrag, password] {
            remoteUfrag_ = ufrag;
            remotePassword_ = password;
            nice_agent_set_remote_credentials(agent_, stream_, ufrag.c_str(), password.c_str());
        });
        return true;
    }

    bool addRemoteCandidate(const std::string& line) override
    {
        const std::string candidate = withoutAttributePrefix(line);
        if (candidate.size() > kMaxCandidateLength || candidate.compare(0, 10, "candidate:") != 0)
            return false;
        std::string sdp = "a=" + candidate;
        while (!sdp.empty() && (sdp.back() == '\r' || sdp.back() == '\n'))
            sdp.pop_back();
        {
            std::lock_guard<std::mutex> lock(contextMutex_);
            if (stopped_ || !agent_)
                return false;
            NiceCandidate* parsed = nice_agent_parse_remote_candidate_sdp(agent_, stream_, sdp.c_str());
            if (!parsed)
                return false;
            const bool usable = parsed->component_id == kComponent;
            nice_candidate_free(parsed);
            if (!usable || remoteCandidates_ >= kMaxRemoteCandidates)
                return false;
            ++remoteCandidates_;
        }
        invoke([this, sdp] {
            remoteLines_.push_back(sdp);
            setRemoteCandidates({sdp});
        });
        return true;
    }

    void remoteCandidatesDone() override
    {
        invoke([this] {
            remoteDone_ = true;
            nice_agent_peer_candidate_gathering_done(agent_, stream_);
        });
    }

    IcePath selectedPath() const override
    {
        std::lock_guard<std::mutex> lock(pathMutex_);
        return path_;
    }

    std::unique_ptr<PacketPort> port() override { return std::make_unique<IcePacketPort>(shared_from_this()); }

    void stop() override
    {
        std::lock_guard<std::mutex> stopping(stopMutex_);
        if (thread_.joinable()) {
            invoke([this] { g_main_loop_quit(loop_); });
            thread_.join();
        }
        endRecheck();  // before anything turns the context again
        std::deque<std::function<void()>> undone;
        {
            // Work queued from now on, or left on the context, is not done.
            std::lock_guard<std::mutex> lock(contextMutex_);
            stopped_ = true;
            undone.swap(work_);
        }
        undone.clear();  // whoever waits for it learns at once
        {
            // No send runs or starts on the agent from here.
            std::lock_guard<std::mutex> lock(sendMutex_);
            sending_ = false;
        }
        if (agent_) {
            closeRelays();
            nice_agent_attach_recv(agent_, stream_, kComponent, context_, nullptr, nullptr);
            g_object_unref(agent_);
            agent_ = nullptr;
            // What the agent left on its context (timers of closing sockets) goes with it.
            while (g_main_context_iteration(context_, FALSE)) {
            }
        }
        // The relays over TLS gave up their allocations through these above.
        for (std::unique_ptr<TlsTunnel>& tunnel : tunnels_)
            tunnel->stop();
        tunnels_.clear();
        if (loop_) {
            g_main_loop_unref(loop_);
            loop_ = nullptr;
        }
        if (context_) {
            g_main_context_unref(context_);
            context_ = nullptr;
        }
    }

    // Gives up the relays' allocations (a refresh of lifetime 0 each), waiting
    // for them at most kCloseTimeoutMs; called after the thread was joined.
    void closeRelays()
    {
        if (relays_.empty())
            return;
        // A late answer is still taken by the context's last turns below: the
        // flag it sets lives as long as this agent. The answer comes to the
        // caller's thread-default context: the agent's own, which nobody turns
        // after this agent is gone (the caller's may be a program's main loop).
        bool late = false;
        g_main_context_push_thread_default(context_);
        nice_agent_close_async(
            agent_, [](GObject*, GAsyncResult*, gpointer done) { *static_cast<bool*>(done) = true; },
            &relaysClosed_);
        g_main_context_pop_thread_default(context_);
        GSource* timeout = g_timeout_source_new(kCloseTimeoutMs);
        g_source_set_callback(
            timeout,
            [](gpointer done) -> gboolean {
                *static_cast<bool*>(done) = true;
                return G_SOURCE_REMOVE;
            },
            &late, nullptr);
        g_source_attach(timeout, context_);
        while (!relaysClosed_ && !late)
            g_main_context_iteration(context_, TRUE);
        g_source_destroy(timeout);
        g_source_unref(timeout);
    }

    // --- the port's side --------------------------------------------------------
    int readyFd() const { return ready_; }

    bool send(const uint8_t* data, size_t size)
    {
        std::lock_guard<std::mutex> lock(sendMutex_);
        if (!sending_ || !selected_)
            return false;
        return nice_agent_send(agent_, stream_, kComponent, static_cast<guint>(size),
                               reinterpret_cast<const gchar*>(data)) == static_cast<gint>(size);
    }

    long receive(uint8_t* buffer, size_t capacity)
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        if (queue_.empty()) {
            uint64_t count = 0;
            (void)!::read(ready_, &count, sizeof count);
            return -1;
        }
        std::vector<uint8_t> datagram = std::move(queue_.front());
        queue_.pop_front();
        const size_t size = std::min(capacity, datagram.size());
        std::memcpy(buffer, datagram.data(), size);
        return static_cast<long>(size);
    }

    int localPort() const
    {
        std::lock_guard<std::mutex> lock(pathMutex_);
        return localPort_;
    }

private:
    void run()
    {
        g_main_context_push_thread_default(context_);
        g_main_loop_run(loop_);
        g_main_context_pop_thread_default(context_);
    }

    // Runs `work` on the agent's thread, in order with what was asked before.
    // The work waits in a queue of this agent's, under its own lock: the
    // context's wake-up carries no data, so what the agent's thread runs was
    // handed over under a lock that the thread sanitizer sees too.
    void invoke(std::function<void()> work)
    {
        std::lock_guard<std::mutex> lock(contextMutex_);
        if (stopped_ || !context_)
            return;
        work_.push_back(std::move(work));
        GSource* source = g_idle_source_new();
        g_source_set_priority(source, G_PRIORITY_DEFAULT);
        g_source_set_callback(
            source,
            [](gpointer data) -> gboolean {
                static_cast<NiceIceAgent*>(data)->runNextWork();
                return G_SOURCE_REMOVE;
            },
            this, nullptr);
        g_source_attach(source, context_);
        g_source_unref(source);
    }

    // One wake-up, one piece of work: the oldest.
    void runNextWork()
    {
        std::function<void()> work;
        {
            std::lock_guard<std::mutex> lock(contextMutex_);
            if (stopped_ || work_.empty())
                return;
            work = std::move(work_.front());
            work_.pop_front();
        }
        work();
    }

    bool isStopped()
    {
        std::lock_guard<std::mutex> lock(contextMutex_);
        return stopped_;
    }

    void addLocalAddresses()
    {
        GList* ips = nice_interfaces_get_local_ips(TRUE);
        for (GList* item = ips; item; item = item->next) {
            const char* text = static_cast<const char*>(item->data);
            // Link-local IPv6 addresses need a scope that the agent does not keep.
            if (g_ascii_strncasecmp(text, "fe80", 4) == 0)
                continue;
            NiceAddress address;
            nice_address_init(&address);
            if (nice_address_set_from_string(&address, text))
                nice_agent_add_local_address(agent_, &address);
        }
        g_list_free_full(ips, g_free);
    }

    // Servers named by a name are resolved first (each within
    // kResolveTimeoutMs, left out otherwise); then the agent gathers.
    void resolveServers()
    {
        for (size_t i = 0; i < settings_.servers.size(); ++i) {
            const IceServer& server = settings_.servers[i];
            if (isNumericAddress(server.host)) {
                addresses_[i] = server.host;
                continue;
            }
            ++resolving_;
            auto* lookup = new Lookup{this, i, g_cancellable_new()};
            GSource* timeout = g_timeout_source_new(kResolveTimeoutMs);
            g_source_set_callback(
                timeout,
                [](gpointer data) -> gboolean {
                    g_cancellable_cancel(static_cast<GCancellable*>(data));
                    return G_SOURCE_REMOVE;
                },
                g_object_ref(lookup->cancellable), g_object_unref);
            g_source_attach(timeout, context_);
            lookup->timeout = timeout;
            GResolver* resolver = g_resolver_get_default();
            g_resolver_lookup_by_name_async(resolver, server.host.c_str(), lookup->cancellable,
                                            &NiceIceAgent::onResolved, lookup);
            g_object_unref(resolver);
        }
        if (resolving_ == 0)
            gather();
    }

    struct Lookup {
        NiceIceAgent* agent;
        size_t index;
        GCancellable* cancellable;
        GSource* timeout = nullptr;
    };

    static void onResolved(GObject* source, GAsyncResult* result, gpointer data)
    {
        auto* lookup = static_cast<Lookup*>(data);
        NiceIceAgent* self = lookup->agent;
        GError* error = nullptr;
        GList* found = g_resolver_lookup_by_name_finish(G_RESOLVER(source), result, &error);
        const IceServer& server = self->settings_.servers[lookup->index];
        for (GList* item = found; item; item = item->next) {
            GInetAddress* address = G_INET_ADDRESS(item->data);
            if (g_inet_address_get_family(address) == G_SOCKET_FAMILY_IPV4 || !item->next) {
                gchar* text = g_inet_address_to_string(address);
                self->addresses_[lookup->index] = text;
                g_free(text);
                break;
            }
        }
        if (!found)
            std::cerr << "velto_webrtc_media: ICE server " << escapedForLog(server.host) << " left out: "
                      << (error ? "its name does not resolve" : "no address") << std::endl;
        g_resolver_free_addresses(found);
        if (error)
            g_error_free(error);
        g_source_destroy(lookup->timeout);
        g_source_unref(lookup->timeout);  // the reference it was made with
        g_object_unref(lookup->cancellable);
        delete lookup;
        if (--self->resolving_ == 0 && !self->isStopped())
            self->gather();
    }

    void gather()
    {
        bool stunSet = false;
        for (const auto& [index, address] : addresses_) {
            const IceServer& server = settings_.servers[index];
            if (server.kind == IceServer::Kind::Stun) {
                // libnice asks one STUN server; the first is taken.
                if (!stunSet)
                    g_object_set(G_OBJECT(agent_), "stun-server", address.c_str(), "stun-server-port",
                                 static_cast<guint>(server.port), nullptr);
                stunSet = true;
                continue;
            }
            std::string relayAddress = address;
            int relayPort = server.port;
            const TlsTunnel* tunnelOfRelay = nullptr;
            if (server.transport == IceServer::Transport::Tls) {
                // The ICE library's own TLS to a relay checks no certificate:
                // it speaks TURN over TCP to a tunnel of ours that verifies.
                std::string why;
                std::unique_ptr<TlsTunnel> tunnel =
                    TlsTunnel::open({server.host, address, server.port}, kTlsSetUpTime, &why);
                if (!tunnel) {
                    std::cerr << "velto_webrtc_media: TURN server " << escapedForLog(server.host) << ":"
                              << server.port << " over TLS left out: " << why << std::endl;
                    continue;
                }
                relayAddress = tunnel->localAddress();
                relayPort = tunnel->localPort();
                tunnelOfRelay = tunnel.get();
                tunnels_.push_back(std::move(tunnel));
            }
            const NiceRelayType type = server.transport == IceServer::Transport::Udp ? NICE_RELAY_TYPE_TURN_UDP
                                                                                    : NICE_RELAY_TYPE_TURN_TCP;
            if (nice_agent_set_relay_info(agent_, stream_, kComponent, relayAddress.c_str(),
                                          static_cast<guint>(relayPort), server.username.c_str(),
                                          server.credential.c_str(), type)) {
                relays_.push_back({server.transport == IceServer::Transport::Tls ? escapedForLog(server.host) : address,
                                   server.port, server.transport, tunnelOfRelay});
            }
        }
        if (!nice_agent_gather_candidates(agent_, stream_))
            std::cerr << "velto_webrtc_media: the ICE agent found no local address" << std::endl;
        {
            std::lock_guard<std::mutex> lock(sendMutex_);
            sending_ = true;
        }
    }

    // --- libnice signals, on the agent's thread --------------------------------
    static void onNewCandidate(NiceAgent* agent, NiceCandidate* candidate, gpointer data)
    {
        auto* self = static_cast<NiceIceAgent*>(data);
        gchar* sdp = nice_agent_generate_local_candidate_sdp(agent, candidate);
        if (!sdp)
            return;
        if (candidate->type == NICE_CANDIDATE_TYPE_HOST && candidate->transport == NICE_CANDIDATE_TRANSPORT_UDP) {
            std::lock_guard<std::mutex> lock(self->pathMutex_);
            if (self->localPort_ == 0)
                self->localPort_ = static_cast<int>(nice_address_get_port(&candidate->addr));
        }
        if (candidate->type == NICE_CANDIDATE_TYPE_RELAYED)
            ++self->relaysAnswered_[self->relayOf(*candidate)];
        const std::string protocol = candidate->transport == NICE_CANDIDATE_TRANSPORT_UDP ? "udp" : "tcp";
        self->listener_->onLocalCandidate(withoutAttributePrefix(sdp), protocol);
        g_free(sdp);
    }

    // A relay that gave no address refused us (user name or credential) or
    // could not be reached: said once, without what was sent to it.
    static void onGatheringDone(NiceAgent*, guint, gpointer data)
    {
        auto* self = static_cast<NiceIceAgent*>(data);
        for (size_t i = 0; i < self->relays_.size(); ++i) {
            if (self->relaysAnswered_.count(static_cast<int>(i)))
                continue;
            const Relay& relay = self->relays_[i];
            const bool ambiguous = self->relaysAnswered_.count(kUnknownRelay) != 0;
            // The tunnel told already why it has no connection.
            const bool noTls = relay.tunnel && relay.tunnel->established() == 0;
            std::cerr << "velto_webrtc_media: TURN server " << relay.address << ":" << relay.port << " over "
                      << transportName(relay.transport) << (ambiguous ? " (or another)" : "")
                      << (noTls ? " gave no relayed address: no TLS connection to it was made"
                                : " gave no relayed address: it refused the user name or credential, or did not answer")
                      << std::endl;
        }
    }

    static const char* transportName(IceServer::Transport transport)
    {
        switch (transport) {
        case IceServer::Transport::Udp: return "UDP";
        case IceServer::Transport::Tcp: return "TCP";
        case IceServer::Transport::Tls: return "TLS";
        }
        return "UDP";
    }

    static void onSelectedPair(NiceAgent*, guint, guint, NiceCandidate* local, NiceCandidate* remote, gpointer data)
    {
        auto* self = static_cast<NiceIceAgent*>(data);
        if (self->failed_)
            return;  // the media connection was given up: a late answer does not take it up again
        if (self->recheck_) {
            self->endRecheck();
            std::cerr << "velto_webrtc_media: the media connection's candidates answered again: the media goes on"
                      << std::endl;
        }
        IcePath path;
        path.local = typeName(local->type);
        path.remote = typeName(remote->type);
        path.transport = local->transport == NICE_CANDIDATE_TRANSPORT_UDP ? "udp" : "tcp";
        if (local->type == NICE_CANDIDATE_TYPE_RELAYED)
            path.transport = self->relayTransport(*local);
        {
            std::lock_guard<std::mutex> lock(self->pathMutex_);
            self->path_ = path;
        }
        {
            std::lock_guard<std::mutex> lock(self->sendMutex_);
            self->selected_ = true;
        }
        self->selectedOnce_ = true;
        self->listener_->onPathSelected(path);
    }

    // The relay (its index in relays_) a relayed candidate came through, or
    // kUnknownRelay. libnice keeps it to itself (the candidates it signals are
    // copies without it), but numbers its relays in the order they were given
    // and puts that number into the candidate's local preference (bits 6 to
    // 12), and gives a relay over UDP a higher type preference than one over
    // TCP (RFC 8445 5.1.2 leaves both to the agent: 30 against 20); a number
    // that disagrees with the type preference is not taken.
    static constexpr int kUnknownRelay = -1;
    int relayOf(const NiceCandidate& candidate) const
    {
        const size_t index = ((candidate.priority >> 8) & 0xFFFF) >> 6 & 0x7F;
        if (index >= relays_.size())
            return kUnknownRelay;
        const bool overUdp = (candidate.priority >> 24) >= 30;
        return overUdp == (relays_[index].transport == IceServer::Transport::Udp) ? static_cast<int>(index)
                                                                                 : kUnknownRelay;
    }

    std::string relayTransport(const NiceCandidate& candidate) const
    {
        const int relay = relayOf(candidate);
        if (relay != kUnknownRelay)
            return relays_[static_cast<size_t>(relay)].transport == IceServer::Transport::Udp   ? "udp"
                   : relays_[static_cast<size_t>(relay)].transport == IceServer::Transport::Tcp ? "tcp"
                                                                                                  : "tls";
        return (candidate.priority >> 24) >= 30 ? "udp" : "tcp";
    }

    static void onStateChanged(NiceAgent*, guint, guint, guint state, gpointer data)
    {
        auto* self = static_cast<NiceIceAgent*>(data);
        if (state != NICE_COMPONENT_STATE_FAILED || self->failed_)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (self->selectedOnce_ && !self->recheck_ &&
            (!self->lastRecheck_ || now - *self->lastRecheck_ >= kRecheckSpacing)) {
            // Not from within libnice's signal: the stream restarts on the next turn.
            self->lastRecheck_ = now;
            self->leavePair();
            self->invoke([self] { self->recheck(); });
            return;
        }
        self->fail();
    }

    // The selected pair lost consent: nothing more goes out on it, and every
    // candidate pair is checked once more, with the credentials the peer
    // knows (it was told of no restart). libnice gives up a pair 50 s after
    // its last answered check, but also when it has no room left to note a
    // check: it forgets no check that went unanswered, and after 200 of them
    // in one meeting (a long one on a lossy link) it sends none. A pair that
    // answers again within kRecheckMs carries the media on; otherwise, or
    // when consent lapses again soon after, the path failed.
    void recheck()
    {
        if (failed_ || recheck_)
            return;
        std::cerr << "velto_webrtc_media: the media connection's pair lost consent: its candidates are checked again"
                  << std::endl;
        recheck_ = g_timeout_source_new(kRecheckMs);
        g_source_set_callback(
            recheck_,
            [](gpointer data) -> gboolean {
                auto* self = static_cast<NiceIceAgent*>(data);
                self->endRecheck();
                self->fail();
                return G_SOURCE_REMOVE;
            },
            this, nullptr);
        g_source_attach(recheck_, context_);
        nice_agent_restart_stream(agent_, stream_);
        std::string ufrag;
        std::string password;
        {
            std::lock_guard<std::mutex> lock(pathMutex_);
            ufrag = ufrag_;
            password = password_;
        }
        nice_agent_set_local_credentials(agent_, stream_, ufrag.c_str(), password.c_str());
        if (!remoteUfrag_.empty())
            nice_agent_set_remote_credentials(agent_, stream_, remoteUfrag_.c_str(), remotePassword_.c_str());
        setRemoteCandidates(remoteLines_);
        if (remoteDone_)
            nice_agent_peer_candidate_gathering_done(agent_, stream_);
    }

    // Nothing more goes out until a pair is selected (again).
    void leavePair()
    {
        {
            std::lock_guard<std::mutex> lock(sendMutex_);
            selected_ = false;
        }
        std::lock_guard<std::mutex> lock(pathMutex_);
        path_ = IcePath();
    }

    void endRecheck()
    {
        if (!recheck_)
            return;
        g_source_destroy(recheck_);
        g_source_unref(recheck_);
        recheck_ = nullptr;
    }

    void setRemoteCandidates(const std::vector<std::string>& lines)
    {
        GSList* list = nullptr;
        for (const std::string& sdp : lines) {
            if (NiceCandidate* remote = nice_agent_parse_remote_candidate_sdp(agent_, stream_, sdp.c_str()))
                list = g_slist_append(list, remote);
        }
        if (list)
            nice_agent_set_remote_candidates(agent_, stream_, kComponent, list);
        g_slist_free_full(list, reinterpret_cast<GDestroyNotify>(&nice_candidate_free));
    }

    void fail()
    {
        if (failed_)
            return;
        failed_ = true;
        endRecheck();
        leavePair();
        std::cerr << "velto_webrtc_media: the media connection failed: "
                  << (selectedOnce_ ? "its pair lost consent" : "no candidate pair works") << std::endl;
        listener_->onPathFailed();
    }

    static void onReceive(NiceAgent*, guint, guint, guint size, gchar* data, gpointer user)
    {
        auto* self = static_cast<NiceIceAgent*>(user);
        if (size == 0 || size > kMaxDatagram)
            return;
        std::lock_guard<std::mutex> lock(self->queueMutex_);
        if (self->queue_.size() >= kMaxQueued)
            return;
        self->queue_.emplace_back(reinterpret_cast<uint8_t*>(data), reinterpret_cast<uint8_t*>(data) + size);
        const uint64_t one = 1;
        (void)!::write(self->ready_, &one, sizeof one);
    }

    struct Relay {
        std::string address;
        int port = 0;
        IceServer::Transport transport = IceServer::Transport::Udp;
        const TlsTunnel* tunnel = nullptr;  // of tunnels_, for one over TLS
    };

    const Settings settings_;
    IceListener* const listener_;
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    NiceAgent* agent_ = nullptr;
    guint stream_ = 0;
    std::string ufrag_;
    std::string password_;
    std::thread thread_;
    std::mutex stopMutex_;
    int ready_ = -1;
    std::mutex contextMutex_;  // context_ and agent_ while others reach them
    bool stopped_ = false;
    std::deque<std::function<void()>> work_;  // for the agent's thread, oldest first
    int remoteCandidates_ = 0;

    // The agent's thread only.
    std::map<size_t, std::string> addresses_;  // server index -> numeric address
    int resolving_ = 0;
    std::vector<Relay> relays_;
    std::vector<std::unique_ptr<TlsTunnel>> tunnels_;  // also stop()'s, once the thread is joined
    std::map<int, int> relaysAnswered_;  // relayed candidates by relayOf()
    bool relaysClosed_ = false;
    bool failed_ = false;
    bool selectedOnce_ = false;
    // What the peer told, for a recheck: credentials, candidates, whether it named them all.
    std::string remoteUfrag_;
    std::string remotePassword_;
    std::vector<std::string> remoteLines_;
    bool remoteDone_ = false;
    GSource* recheck_ = nullptr;  // while the candidates are checked again
    std::optional<std::chrono::steady_clock::time_point> lastRecheck_;

    std::mutex sendMutex_;
    bool sending_ = false;
    bool selected_ = false;

    mutable std::mutex pathMutex_;  // also the credentials
    IcePath path_;
    int localPort_ = 0;

    std::mutex queueMutex_;
    std::deque<std::vector<uint8_t>> queue_;
};

int IcePacketPort::fd() const { return agent_->readyFd(); }
bool IcePacketPort::send(const uint8_t* data, size_t size) { return agent_->send(data, size); }
long IcePacketPort::receive(uint8_t* buffer, size_t capacity) { return agent_->receive(buffer, capacity); }
int IcePacketPort::localPort() const { return agent_->localPort(); }

}  // namespace

std::shared_ptr<IceAgent> IceAgent::start(const Settings& settings, IceListener* listener)
{
    auto agent = std::make_shared<NiceIceAgent>(settings, listener);
    if (!agent->open()) {
        std::cerr << "velto_webrtc_media: no ICE agent" << std::endl;
        return nullptr;
    }
    return agent;
}

bool isLoopbackCandidate(const std::string& candidate)
{
    // candidate:<foundation> <component> <transport> <priority> <address> ...
    const std::string text = withoutAttributePrefix(candidate);
    size_t start = 0;
    for (int field = 0; field < 4; ++field) {
        start = text.find(' ', start);
        if (start == std::string::npos)
            return false;
        start = text.find_first_not_of(' ', start);
        if (start == std::string::npos)
            return false;
    }
    const std::string address = text.substr(start, text.find(' ', start) - start);
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    return inet_pton(AF_INET6, address.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

}  // namespace velto_media
