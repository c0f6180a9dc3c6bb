// The engine's side of the media connection as an ICE agent (RFC 8445,
// trickle) on libnice: a full agent with one stream of one component (RTP
// and RTCP multiplexed), host candidates on every usable interface,
// server-reflexive ones through a STUN server and relayed ones through TURN
// servers over UDP, TCP or TLS (TlsTunnel: verified, which libnice's own TLS
// is not). Checks on the selected pair every 4 to 6 s keep consent (RFC
// 7675); 50 s without an answer, and nothing more goes on the pair: the
// candidates are checked once more, and the path failed unless a pair
// answers within 5 s.
//
// The agent runs on a GLib main context of its own, on a thread it owns and
// joins in stop(): every libnice call that may raise a signal runs there, so
// the listener is called on that thread only, never after stop() returned.
// Datagrams go over the selected pair through port(), a PacketPort whose
// descriptor polls readable while received datagrams wait.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "IceServers.h"
#include "PacketPort.h"

namespace velto_media {

// The candidate types and transport of a selected pair ("host", "srflx",
// "prflx", "relay"; "udp", "tcp" or "tls", the way to the relay for a relayed
// local candidate). Empty while none is selected.
struct IcePath {
    std::string local;
    std::string remote;
    std::string transport;
};

class IceListener {
public:
    virtual ~IceListener() = default;
    // A local candidate, as found, in RFC 8839 form ("candidate:...").
    virtual void onLocalCandidate(const std::string& candidate, const std::string& protocol) = 0;
    virtual void onPathSelected(const IcePath& /*path*/) {}
    // No pair works: the checks failed or consent was lost.
    virtual void onPathFailed() = 0;
};

class IceAgent {
public:
    struct Settings {
        bool controlling = true;
        std::vector<IceServer> servers;
        // Host candidates on loopback too (libnice leaves them out): for a
        // peer on this machine that names a loopback address.
        bool loopback = false;
        // Relayed candidates only: the way out of a network that lets no
        // other through.
        bool relayOnly = false;
    };

    // An agent gathering its candidates; null when libnice refuses one.
    static std::shared_ptr<IceAgent> start(const Settings& settings, IceListener* listener);
    virtual ~IceAgent() = default;

    virtual std::string localUfrag() const = 0;
    virtual std::string localPassword() const = 0;
    // The peer's credentials; checks start once they and a remote candidate are known.
    virtual bool setRemoteCredentials(const std::string& ufrag, const std::string& password) = 0;
    // One remote candidate ("candidate:..." or "a=candidate:..."); false when
    // libnice cannot read it, it names another component, or too many came.
    virtual bool addRemoteCandidate(const std::string& candidate) = 0;
    // The peer has named all its candidates: when the checks of all pairs
    // failed, the path failed.
    virtual void remoteCandidatesDone() = 0;
    // Starts over with a new peer (RFC 8445 9: an ICE restart): new local
    // credentials, no remote candidates, the checks anew; the local
    // candidates are kept. False when the agent did not restart in time.
    virtual bool restart() = 0;
    virtual IcePath selectedPath() const = 0;
    // The datagram side: sends over the selected pair (false while none is),
    // receives what came on any pair. Several ports may exist; each datagram
    // is taken by one of them. setDestination takes no address (the checks
    // choose it) and returns true.
    virtual std::unique_ptr<PacketPort> port() = 0;
    // Ends the agent and joins its thread; afterwards the listener is not
    // called and the ports send nothing.
    virtual void stop() = 0;
};

// Whether `candidate` ("candidate:..." form) names a loopback address.
bool isLoopbackCandidate(const std::string& candidate);

}  // namespace velto_media
