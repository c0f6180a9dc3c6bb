#include "StandInSdp.h"

#include <sstream>

namespace velto_platform {

std::string WriteSdp(const std::string& sessionId, const std::vector<SdpSource>& sources)
{
    std::ostringstream sdp;
    sdp << "v=0\r\no=- " << sessionId << " 2 IN IP4 127.0.0.1\r\ns=-\r\nt=0 0\r\n";
    for (const char* kind : {"audio", "video"}) {
        sdp << "m=" << kind << " 9 UDP/TLS/RTP/SAVPF " << (std::string(kind) == "audio" ? 111 : 100) << "\r\n";
        for (const SdpSource& source : sources) {
            if (source.kind != kind)
                continue;
            sdp << "a=ssrc:" << source.ssrc << " cname:" << source.cname << "\r\n"
                << "a=ssrc:" << source.ssrc << " msid:" << source.streamLabel << ' ' << source.trackLabel << "\r\n";
        }
    }
    return sdp.str();
}

std::vector<SdpSource> ReadSdpSources(const std::string& sdp)
{
    std::vector<SdpSource> sources;
    std::vector<std::pair<std::string, std::string>> cnames;  // ssrc, cname
    std::string kind;
    std::istringstream lines(sdp);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("m=", 0) == 0) {
            kind = line.substr(2, line.find(' ') - 2);
            continue;
        }
        if (line.rfind("a=ssrc:", 0) != 0)
            continue;
        std::istringstream fields(line.substr(7));
        std::string ssrc, attribute;
        fields >> ssrc >> attribute;
        if (attribute.rfind("cname:", 0) == 0) {
            cnames.emplace_back(ssrc, attribute.substr(6));
        } else if (attribute.rfind("msid:", 0) == 0) {
            SdpSource source{kind, ssrc, "", attribute.substr(5), ""};
            fields >> source.trackLabel;
            for (const auto& [id, cname] : cnames)
                if (id == ssrc)
                    source.cname = cname;
            if (!source.streamLabel.empty())
                sources.push_back(std::move(source));
        }
    }
    return sources;
}

}  // namespace velto_platform
