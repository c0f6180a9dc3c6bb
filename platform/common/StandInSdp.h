// The session descriptions that the media engine and the message server of
// the stand-ins exchange: the usual SDP text, of which only the media sections
// and their "a=ssrc" lines carry meaning here.
#pragma once

#include <string>
#include <vector>

namespace velto_platform {

struct SdpSource {
    std::string kind;         // "audio" or "video"
    std::string ssrc;
    std::string cname;
    std::string streamLabel;
    std::string trackLabel;
};

// A description with an audio and a video section holding `sources`.
std::string WriteSdp(const std::string& sessionId, const std::vector<SdpSource>& sources);

// The sources of a description that name their stream ("a=ssrc:N msid:..."),
// in order of appearance. Anything else in the text is ignored.
std::vector<SdpSource> ReadSdpSources(const std::string& sdp);

}  // namespace velto_platform
