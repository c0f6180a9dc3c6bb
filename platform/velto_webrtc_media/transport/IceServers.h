// The STUN and TURN servers of the login, as the ICE agent uses them:
// "stun:host[:port]", "turn:host[:port][?transport=udp|tcp]" and
// "turns:host[:port][?transport=tcp]", with the user name and credential
// given beside the URL.
#pragma once

#include <string>
#include <vector>

#include "LogText.h"
#include "velto_webrtc_interface.h"

namespace velto_media {

struct IceServer {
    enum class Kind { Stun, Turn };
    enum class Transport { Udp, Tcp, Tls };
    Kind kind = Kind::Stun;
    Transport transport = Transport::Udp;
    std::string host;  // a name or a numeric address (IPv6 without brackets)
    int port = 3478;
    std::string username;
    std::string credential;
};

// One server of `config`; false (with the reason in `why`) when its URL is
// not one of the forms above.
bool parseIceServer(const velto_webrtc::ice_server_config& config, IceServer* server, std::string* why);

// The servers of `configs` that parse, at most `kMaxIceServers`; each one
// left out is logged, its URL escaped and without what may be a credential.
constexpr size_t kMaxIceServers = 8;
std::vector<IceServer> usableIceServers(const std::vector<velto_webrtc::ice_server_config>& configs);

using velto_platform::escapedForLog;

}  // namespace velto_media
