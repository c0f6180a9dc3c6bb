#include "IceServers.h"

#include <cstdio>
#include <iostream>

namespace velto_media {
namespace {

bool allDigits(const std::string& text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool hostCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == ':';
}

// What a log line may show of a URL: a "user:secret@" some write into it is cut.
std::string withoutUserPart(const std::string& url)
{
    const size_t at = url.find('@');
    if (at == std::string::npos)
        return url;
    const size_t scheme = url.find(':');
    return (scheme != std::string::npos && scheme < at ? url.substr(0, scheme + 1) : std::string()) + "...@" +
           url.substr(at + 1);
}

}  // namespace

bool parseIceServer(const velto_webrtc::ice_server_config& config, IceServer* server, std::string* why)
{
    const auto fail = [why](const char* reason) {
        if (why)
            *why = reason;
        return false;
    };
    const std::string& url = config.url;
    if (url.size() > 512)
        return fail("too long");
    IceServer parsed;
    std::string rest;
    bool secure = false;
    if (url.compare(0, 5, "stun:") == 0) {
        parsed.kind = IceServer::Kind::Stun;
        rest = url.substr(5);
    } else if (url.compare(0, 5, "turn:") == 0) {
        parsed.kind = IceServer::Kind::Turn;
        rest = url.substr(5);
    } else if (url.compare(0, 6, "turns:") == 0) {
        parsed.kind = IceServer::Kind::Turn;
        parsed.transport = IceServer::Transport::Tls;
        parsed.port = 5349;
        secure = true;
        rest = url.substr(6);
    } else {
        return fail("not a stun:, turn: or turns: URL");
    }
    std::string query;
    const size_t question = rest.find('?');
    if (question != std::string::npos) {
        query = rest.substr(question + 1);
        rest.erase(question);
    }
    if (!query.empty()) {
        if (parsed.kind == IceServer::Kind::Stun)
            return fail("a stun: URL takes no transport");
        if (query == "transport=udp" && !secure)
            parsed.transport = IceServer::Transport::Udp;
        else if (query == "transport=tcp")
            parsed.transport = secure ? IceServer::Transport::Tls : IceServer::Transport::Tcp;
        else
            return fail("unknown transport");
    }
    // host, host:port, [v6], [v6]:port
    std::string host, port;
    if (!rest.empty() && rest[0] == '[') {
        const size_t close = rest.find(']');
        if (close == std::string::npos)
            return fail("unclosed [");
        host = rest.substr(1, close - 1);
        const std::string after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':')
                return fail("text after ]");
            port = after.substr(1);
            if (port.empty())
                return fail("empty port");
        }
    } else {
        const size_t colon = rest.find(':');
        if (colon != std::string::npos && rest.find(':', colon + 1) != std::string::npos) {
            host = rest;  // a bare IPv6 address
        } else if (colon != std::string::npos) {
            host = rest.substr(0, colon);
            port = rest.substr(colon + 1);
            if (port.empty())
                return fail("empty port");
        } else {
            host = rest;
        }
    }
    if (host.empty() || host.size() > 253)
        return fail("no host");
    for (char c : host)
        if (!hostCharacter(c))
            return fail("bad host");
    if (!port.empty()) {
        if (!allDigits(port) || port.size() > 5 || std::stoi(port) < 1 || std::stoi(port) > 65535)
            return fail("bad port");
        parsed.port = std::stoi(port);
    }
    parsed.host = host;
    if (parsed.kind == IceServer::Kind::Turn) {
        if (config.username.empty() || config.credential.empty())
            return fail("a TURN server without user name or credential");
        parsed.username = config.username;
        parsed.credential = config.credential;
    }
    if (server)
        *server = parsed;
    return true;
}

std::vector<IceServer> usableIceServers(const std::vector<velto_webrtc::ice_server_config>& configs)
{
    std::vector<IceServer> servers;
    for (const velto_webrtc::ice_server_config& config : configs) {
        IceServer server;
        std::string why;
        if (!parseIceServer(config, &server, &why)) {
            std::cerr << "velto_webrtc_media: ICE server \"" << escapedForLog(withoutUserPart(config.url))
                      << "\" left out: " << why << std::endl;
            continue;
        }
        if (servers.size() == kMaxIceServers) {
            std::cerr << "velto_webrtc_media: ICE server \"" << escapedForLog(withoutUserPart(config.url))
                      << "\" left out: more than " << kMaxIceServers << " servers" << std::endl;
            continue;
        }
        servers.push_back(std::move(server));
    }
    return servers;
}

}  // namespace velto_media
