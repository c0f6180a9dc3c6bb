// The engine's media connection: the answer to the server's offer with our
// key and SSRCs, the connection to the unit its candidate names, remote
// streams by SSRC, and the statistics.
#include <algorithm>
#include <iostream>

#include "FilteredPort.h"
#include "MediaEngine.h"
#include "MediaHooks.h"
#include "MediaSdp.h"
#include "Retransmission.h"
#include "StandInSdp.h"
#include "Vp8Payload.h"
#include "velto_media_statistics.h"

namespace velto_media {
namespace {

using velto_webrtc::rtc_ssrc;

constexpr uint8_t kOpusPayloadType = 111;
// Sources the engine keeps, of every participant together: a participant
// announces a handful (camera, microphone, screen, resend streams); what a
// room announces beyond this is ignored.
constexpr size_t kMaxRemoteSources = 512;

bool isMediaKind(const std::string& kind)
{
    return kind == "audio" || kind == "video";
}

bool sameRemoteStream(const rtc_ssrc& a, const rtc_ssrc& b)
{
    return a.streamLabel == b.streamLabel && a.kind == b.kind;
}

// The SSRC a source names; 0 when its text is no 32-bit number.
uint32_t ssrcOf(const std::string& text)
{
    if (text.empty() || text.size() > 10 || !std::all_of(text.begin(), text.end(), ::isdigit))
        return 0;
    const unsigned long long value = std::stoull(text);
    return value > 0xffffffffull ? 0 : static_cast<uint32_t>(value);
}

// The lines of an SDP text, without their line ends.
std::vector<std::string> sdpLines(const std::string& sdp)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < sdp.size()) {
        size_t end = sdp.find('\n', start);
        if (end == std::string::npos)
            end = sdp.size();
        std::string line = sdp.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The value of the first "a=<name>:" line, empty when none.
std::string sdpAttribute(const std::string& sdp, const std::string& name)
{
    const std::string prefix = "a=" + name + ":";
    for (const std::string& line : sdpLines(sdp))
        if (line.compare(0, prefix.size(), prefix) == 0)
            return line.substr(prefix.size());
    return std::string();
}

// The offer's candidates, "candidate:..." each; at most a few dozen are looked at.
std::vector<std::string> sdpCandidates(const std::string& sdp)
{
    std::vector<std::string> candidates;
    for (const std::string& line : sdpLines(sdp))
        if (line.compare(0, 12, "a=candidate:") == 0 && candidates.size() < 64)
            candidates.push_back(line.substr(2));
    return candidates;
}

// `sdp` with `lines` at session level, before the first "m=" line.
std::string withSessionLines(const std::string& sdp, const std::vector<std::string>& lines)
{
    const std::string lineEnd = sdp.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    std::string block;
    for (const std::string& line : lines)
        block += line + lineEnd;
    size_t media = sdp.compare(0, 2, "m=") == 0 ? 0 : sdp.find("\nm=");
    if (media == std::string::npos) {
        std::string result = sdp;
        if (!result.empty() && result.back() != '\n')
            result += lineEnd;
        return result + block;
    }
    if (media > 0)
        ++media;
    return sdp.substr(0, media) + block + sdp.substr(media);
}

}  // namespace

void MediaEngine::restartIce(const std::shared_ptr<IceAgent>& agent, const std::string& offer)
{
    if (!agent->restart()) {
        std::cerr << "velto_webrtc_media: the ICE agent did not start over" << std::endl;
        return;
    }
    {
        // Our candidates go again, after the new answer.
        std::lock_guard<std::mutex> lock(mutex_);
        candidatesMayGo_ = false;
        heldCandidates_ = localCandidates_;
    }
    agent->setRemoteCredentials(sdpAttribute(offer, "ice-ufrag"), sdpAttribute(offer, "ice-pwd"));
    const std::vector<std::string> offered = sdpCandidates(offer);
    for (const std::string& candidate : offered)
        agent->addRemoteCandidate(candidate);
    if (!offered.empty())
        agent->remoteCandidatesDone();
}

bool MediaEngine::startIceLocked(const std::string& offer, std::unique_ptr<PacketPort>* port)
{
    const std::vector<std::string> offered = sdpCandidates(offer);
    IceAgent::Settings settings;
    settings.controlling = true;
    settings.servers = iceServers_;
    // A peer on this machine is reached on loopback, which libnice leaves out.
    settings.loopback = std::any_of(offered.begin(), offered.end(), isLoopbackCandidate) ||
                        std::any_of(remoteCandidates_.begin(), remoteCandidates_.end(), isLoopbackCandidate);
    std::shared_ptr<IceAgent> agent = IceAgent::start(settings, static_cast<IceListener*>(this));
    if (!agent)
        return false;
    agent->setRemoteCredentials(sdpAttribute(offer, "ice-ufrag"), sdpAttribute(offer, "ice-pwd"));
    for (const std::string& candidate : offered)
        if (!agent->addRemoteCandidate(candidate))
            std::cerr << "velto_webrtc_media: the offer's candidate \"" << escapedForLog(candidate)
                      << "\" left out" << std::endl;
    for (const std::string& candidate : remoteCandidates_)
        agent->addRemoteCandidate(candidate);
    remoteCandidates_.clear();
    // The offer names all of the peer's candidates: when they all fail, the
    // connection failed (later ones are still taken).
    if (!offered.empty())
        agent->remoteCandidatesDone();
    *port = agent->port();
    ice_ = std::move(agent);
    return true;
}

void MediaEngine::onLocalCandidate(const std::string& candidate, const std::string& protocol)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (localCandidates_.size() < 64)
        localCandidates_.emplace_back(candidate, protocol);
    if (!candidatesMayGo_) {
        if (heldCandidates_.size() < 64)
            heldCandidates_.emplace_back(candidate, protocol);
        return;
    }
    announceCandidateLocked(candidate, protocol);
}

void MediaEngine::announceCandidateLocked(const std::string& candidate, const std::string& protocol)
{
    if (!loop_ || !observer_ || !ice_)
        return;
    loop_->post([observer = observer_, candidate, protocol, ufrag = ice_->localUfrag()] {
        observer->OnIceCandidate("audio", candidate, 0, ufrag, "1", protocol);
    });
}

void MediaEngine::onPathSelected(const IcePath& path)
{
    noteIcePath(path.local, path.remote, path.transport);
    // What went before the path existed was lost: keyframe requests and
    // reports go now, and our pictures start again from a keyframe.
    std::shared_ptr<MediaTransport> transport;
    std::vector<std::shared_ptr<LocalVideoTrack>> videos;
    {
        std::lock_guard<std::mutex> lock(streamsMutex_);
        transport = feedbackTransport_;
        for (const auto& [ssrc, video] : sendingVideo_)
            videos.push_back(video);
    }
    if (transport) {
        transport->reportSoon();
        transport->timersChanged();
    }
    for (const auto& video : videos)
        video->requestKeyframe();
}

void MediaEngine::onPathFailed()
{
    // The meeting's network-loss path takes it from here.
    emit([](velto_webrtc::velto_media_observer& observer) { observer.OnIceConnectionFailed(); });
}

std::string MediaEngine::answerLocked() const
{
    std::vector<velto_platform::SdpSource> sources;
    for (const auto& [label, stream] : localStreams_) {
        for (const Track& track : stream.tracks) {
            sources.push_back({track.kind, std::to_string(track.ssrc), cname_, label, track.label});
            // A retransmission stream is announced as its media stream is, right after it.
            const auto retransmission = retransmissionOf_.find(track.ssrc);
            if (retransmission != retransmissionOf_.end())
                sources.push_back({track.kind, std::to_string(retransmission->second), cname_, label, track.label});
        }
    }
    std::string sdp =
        withRetransmissionGroups(velto_platform::WriteSdp(cname_, sources), retransmissionPairsLocked());
    if (ice_)
        sdp = withSessionLines(sdp, {"a=ice-ufrag:" + ice_->localUfrag(), "a=ice-pwd:" + ice_->localPassword()});
    return sendKey_.size() == SrtpSession::kKeyLength ? velto_platform::withCryptoLine(sdp, sendKey_.data()) : sdp;
}

int MediaEngine::CreateAnswer()
{
    return journaled("CreateAnswer", {}, [&] {
        std::string answer;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (remoteOffer_.empty())
                return -1;
            answer = answerLocked();
        }
        emit([answer](velto_webrtc::velto_media_observer& observer) {
            std::string sdp = answer;
            observer.onAnswer("well", sdp);
        });
        return 0;
    });
}

std::shared_ptr<MediaTransport> MediaEngine::sendingTransport() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return answered_ ? transport_ : nullptr;
}

int MediaEngine::SetLocalDescription(const std::string& sdp, const std::string& type)
{
    // The journal never holds a key.
    return journaled("SetLocalDescription", {velto_platform::withoutKeys(sdp), type}, [&] {
        if (type != "answer" || sdp.empty())
            return -1;
        emit([sdp](velto_webrtc::velto_media_observer& observer) {
            std::string description = sdp;
            observer.onSetLocalSDP("well", description);
        });
        std::shared_ptr<MediaTransport> transport;
        std::vector<std::shared_ptr<LocalVideoTrack>> videos;
        uint32_t reportingSsrc = 0;
        int port = 9;
        bool ice = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            transport = transport_;
            if (transport) {
                answered_ = true;
                port = transport->localPort();
            }
            ice = ice_ != nullptr;
            if (ice) {
                // The answer is on its way ahead of them: our candidates may follow.
                candidatesMayGo_ = true;
                for (const auto& [candidate, protocol] : heldCandidates_)
                    announceCandidateLocked(candidate, protocol);
                heldCandidates_.clear();
            }
            for (const auto& [label, stream] : localStreams_) {
                for (const Track& track : stream.tracks) {
                    if (track.video)
                        videos.push_back(track.video);
                    // Reports go out from an audio SSRC when there is one.
                    if (reportingSsrc == 0 || track.kind == "audio")
                        reportingSsrc = track.ssrc;
                }
            }
        }
        // With the local description in place the engine names its own
        // address; an ICE agent names its candidates itself.
        if (!ice)
            emit([ufrag = cname_, port](velto_webrtc::velto_media_observer& observer) {
                observer.OnIceCandidate("audio", velto_platform::writeHostCandidate("127.0.0.1", port), 0, ufrag,
                                        "1", "udp");
            });
        if (!transport)
            return 0;
        // The answer is on its way: media may go, and the unit learns our
        // address from the first reports.
        if (reportingSsrc != 0)
            transport->setReportingSsrc(reportingSsrc);
        announceRetransmissions(*transport);
        for (const auto& video : videos)
            video->setTransport(transport);
        updateAudio();
        transport->reportSoon();
        return 0;
    });
}

bool MediaEngine::SetRemoteDescription(const std::string& sdp, const std::string& type)
{
    return journaled("SetRemoteDescription", {velto_platform::withoutKeys(sdp), type}, [&] {
        if (type != "offer" || sdp.empty())
            return false;
        std::vector<uint8_t> key;
        const bool keyed = velto_platform::readCryptoLine(sdp, &key);
        std::shared_ptr<MediaTransport> transport;
        std::vector<uint8_t> sendKey;
        bool newSession = false;
        bool ice = false;
        std::shared_ptr<IceAgent> restartAgent;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            remoteOffer_ = sdp;
            // The same offer again (a second stream's answer) keeps the
            // connection; a new key is a new join with a fresh key of ours.
            if (keyed && key != receiveKey_ && !shutDown_) {
                newSession = true;
                receiveKey_ = key;
                sendKey_.assign(SrtpSession::kKeyLength, 0);
                makeSrtpKey(sendKey_.data());
                sendKey = sendKey_;
                answered_ = false;
                if (transport_ && ice_ && !sdpAttribute(sdp, "ice-ufrag").empty()) {
                    // A new peer of the agent: checks anew (the agent's
                    // thread may wait for mutex_: not under it).
                    restartAgent = ice_;
                } else if (!transport_) {
                    // A peer that takes part in ICE names its credentials; the
                    // agent then chooses the path.
                    std::unique_ptr<PacketPort> port;
                    if (!sdpAttribute(sdp, "ice-ufrag").empty() && !sdpAttribute(sdp, "ice-pwd").empty()) {
                        if (startIceLocked(sdp, &port))
                            port = filteredPort(std::move(port), testPacketFilter());
                    } else {
                        port = openMediaPort();
                    }
                    if (port) {
                        transport_ =
                            std::make_shared<MediaTransport>(std::move(port), static_cast<TransportListener*>(this));
                        std::lock_guard<std::mutex> streams(streamsMutex_);
                        feedbackTransport_ = transport_;
                    } else {
                        std::cerr << "velto_webrtc_media: no UDP port for media" << std::endl;
                    }
                }
                transport = transport_;
                ice = ice_ != nullptr;
            }
        }
        if (restartAgent)
            restartIce(restartAgent, sdp);
        if (newSession && transport) {
            transport->setKeys(key.data(), sendKey.data());
            std::string host;
            int port = 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                host = unitHost_;
                port = unitPort_;
            }
            // An ICE port sends over the pair its checks select: this only lets media go.
            if (ice)
                transport->setDestination(std::string(), 0);
            else if (port > 0)
                transport->setDestination(host, port);
            transport->start();
        }
        emit([sdp](velto_webrtc::velto_media_observer& observer) {
            std::string description = sdp;
            observer.onSetRemoteSDP("well", description);
        });
        return true;
    }) != 0;
}

std::string MediaEngine::GetRemoteOffer()
{
    std::string offer;
    journaled("GetRemoteOffer", {}, [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        offer = remoteOffer_;
        return offer.empty() ? -1 : 0;
    });
    return offer;
}

int MediaEngine::AddIceCandidate(const std::string& candidate)
{
    return journaled("AddIceCandidate", {candidate}, [&] {
        std::shared_ptr<IceAgent> agent;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            agent = ice_;
            // Before the offer it waits for the agent; the offer's peer may
            // not take part in ICE, and then only a host candidate is of use.
            if (!agent && remoteCandidates_.size() < 32 && candidate.size() < 512)
                remoteCandidates_.push_back(candidate);
        }
        if (agent)
            return agent->addRemoteCandidate(candidate) ? 0 : -1;
        std::string host;
        int port = 0;
        if (!velto_platform::readHostCandidate(candidate, &host, &port))
            return -1;
        std::shared_ptr<MediaTransport> transport;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            unitHost_ = host;
            unitPort_ = port;
            transport = transport_;
        }
        if (transport && !transport->setDestination(host, port))
            return -1;
        return 0;
    });
}

int MediaEngine::AddRemoteSources(const std::vector<rtc_ssrc>& sources)
{
    return journaled("AddRemoteSources", {arg(static_cast<unsigned int>(sources.size()))}, [&] {
        std::vector<rtc_ssrc> arrived;  // the first source of each new stream
        std::vector<std::pair<uint32_t, std::shared_ptr<FrameFanout>>> videos;
        std::vector<uint32_t> voices;
        size_t ignored = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const rtc_ssrc& source : sources) {
                // Looked at first: beyond it, even the search for a known one is spared.
                if (remoteSources_.size() >= kMaxRemoteSources) {
                    ++ignored;
                    continue;
                }
                if (!isMediaKind(source.kind) || source.streamLabel.empty() ||
                    std::any_of(remoteSources_.begin(), remoteSources_.end(),
                                [&](const RemoteSource& known) { return known.source.ssrc == source.ssrc; }))
                    continue;
                if (std::none_of(remoteSources_.begin(), remoteSources_.end(),
                                 [&](const RemoteSource& known) { return sameRemoteStream(known.source, source); }))
                    arrived.push_back(source);
                const uint32_t ssrc = ssrcOf(source.ssrc);
                remoteSources_.push_back({source, ssrc});
                if (ssrc == 0 || shutDown_)
                    continue;
                if (source.kind == "video")
                    videos.emplace_back(ssrc, fanoutLocked(source.streamLabel));
                else
                    voices.push_back(ssrc);
            }
        }
        if (ignored > 0)
            std::cerr << "velto_webrtc_media: " << ignored << " remote sources ignored beyond " << kMaxRemoteSources
                      << std::endl;
        pairRemoteRetransmissions();
        std::shared_ptr<MediaTransport> feedback;
        for (const auto& [ssrc, fanout] : videos) {
            if (isRemoteRetransmission(ssrc))
                continue;  // its packets go to the stream they belong to
            auto stream = std::make_shared<RemoteVideoStream>(ssrc, fanout, static_cast<FeedbackSender*>(this),
                                                              decoders_, newReceiveCounters(ssrc, true));
            std::lock_guard<std::mutex> lock(streamsMutex_);
            remoteVideo_[ssrc] = std::move(stream);
            feedback = feedbackTransport_;
        }
        // A new stream asks for its first keyframe at once, not at the next report.
        if (feedback)
            feedback->timersChanged();
        for (uint32_t ssrc : voices) {
            auto stream = std::make_shared<RemoteAudioStream>(ssrc, newReceiveCounters(ssrc, false));
            {
                std::lock_guard<std::mutex> lock(streamsMutex_);
                remoteAudio_[ssrc] = stream;
            }
            playout_.addStream(stream);
        }
        for (const rtc_ssrc& source : arrived) {
            emit([kind = source.kind, label = source.streamLabel](velto_webrtc::velto_media_observer& observer) {
                std::string streamLabel = label;
                observer.onAddStream(kind, streamLabel);
            });
        }
        return 0;
    });
}

int MediaEngine::RemoveRemoteSources(const std::vector<rtc_ssrc>& sources)
{
    return journaled("RemoveRemoteSources", {arg(static_cast<unsigned int>(sources.size()))}, [&] {
        std::vector<rtc_ssrc> ended;  // streams whose last source went
        std::vector<uint32_t> gone;
        std::shared_ptr<MediaTransport> transport;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            transport = transport_;
            for (const rtc_ssrc& source : sources) {
                const auto known = std::find_if(remoteSources_.begin(), remoteSources_.end(),
                                                [&](const RemoteSource& s) { return s.source.ssrc == source.ssrc; });
                if (known == remoteSources_.end())
                    continue;
                const RemoteSource removed = *known;
                remoteSources_.erase(known);
                if (removed.ssrc != 0)
                    gone.push_back(removed.ssrc);
                if (std::none_of(remoteSources_.begin(), remoteSources_.end(),
                                 [&](const RemoteSource& s) { return sameRemoteStream(s.source, removed.source); }))
                    ended.push_back(removed.source);
            }
            // A stream that is gone and drawn nowhere keeps no fanout: a room
            // that announces ever new streams does not make the engine grow.
            for (const rtc_ssrc& source : ended) {
                const std::string& label = source.streamLabel;
                if (!liveLocked(label) && std::none_of(renders_.begin(), renders_.end(), [&](const auto& render) {
                        return render.second.label == label;
                    }))
                    fanouts_.erase(label);
            }
        }
        pairRemoteRetransmissions();
        for (uint32_t ssrc : gone) {
            std::shared_ptr<RemoteVideoStream> video;
            {
                std::lock_guard<std::mutex> lock(streamsMutex_);
                const auto it = remoteVideo_.find(ssrc);
                if (it != remoteVideo_.end()) {
                    video = it->second;
                    remoteVideo_.erase(it);
                }
                remoteAudio_.erase(ssrc);
            }
            if (video)
                video->stop();  // its renders go black
            playout_.removeStream(ssrc);
            if (transport)
                transport->forgetReceived(ssrc);
        }
        for (const rtc_ssrc& source : ended) {
            emit([kind = source.kind, label = source.streamLabel](velto_webrtc::velto_media_observer& observer) {
                observer.onRemoveStream(kind, label);
            });
        }
        return 0;
    });
}

void MediaEngine::onRtp(const rtp::RtpHeader& header, const uint8_t* payload, size_t size, int64_t nowMs)
{
    if (header.payloadType == kVp8RtxPayloadType) {
        onRetransmission(header, payload, size, nowMs);
        return;
    }
    std::shared_ptr<RemoteVideoStream> video;
    std::shared_ptr<RemoteAudioStream> audio;
    {
        std::lock_guard<std::mutex> lock(streamsMutex_);
        if (header.payloadType == rtp::kVp8PayloadType) {
            const auto it = remoteVideo_.find(header.ssrc);
            if (it != remoteVideo_.end())
                video = it->second;
        } else if (header.payloadType == kOpusPayloadType) {
            const auto it = remoteAudio_.find(header.ssrc);
            if (it != remoteAudio_.end())
                audio = it->second;
        }
    }
    if (video)
        video->onPacket(header, payload, size, nowMs);
    else if (audio)
        audio->onPacket(header.sequence, payload, size);
}

void MediaEngine::onKeyframeRequest(uint32_t ssrc)
{
    std::shared_ptr<LocalVideoTrack> track;
    {
        std::lock_guard<std::mutex> lock(streamsMutex_);
        const auto it = sendingVideo_.find(ssrc);
        if (it != sendingVideo_.end())
            track = it->second;
    }
    if (track)
        track->requestKeyframe();
}

void MediaEngine::onReceptionReport(uint32_t reporter, const rtp::ReportBlock& block, int64_t nowMs)
{
    std::shared_ptr<LocalVideoTrack> track;
    {
        std::lock_guard<std::mutex> lock(streamsMutex_);
        const auto it = sendingVideo_.find(block.ssrc);
        if (it != sendingVideo_.end())
            track = it->second;
    }
    if (track)
        track->onLossReport(reporter, block.fractionLost, nowMs);
}

int64_t MediaEngine::onTimer(int64_t nowMs)
{
    std::vector<std::shared_ptr<RemoteVideoStream>> videos;
    {
        std::lock_guard<std::mutex> lock(streamsMutex_);
        for (const auto& [ssrc, video] : remoteVideo_)
            videos.push_back(video);
    }
    int64_t next = 0;
    for (const auto& video : videos) {
        const int64_t due = video->onTimer(nowMs);
        if (due > 0 && (next == 0 || due < next))
            next = due;
    }
    return next;
}

void MediaEngine::sendNack(uint32_t mediaSsrc, const std::vector<uint16_t>& sequences)
{
    std::shared_ptr<MediaTransport> transport;
    {
        std::lock_guard<std::mutex> lock(streamsMutex_);
        transport = feedbackTransport_;
    }
    if (transport && transport->reportingSsrc() != 0)
        transport->sendNack(transport->reportingSsrc(), mediaSsrc, sequences);
}

bool MediaEngine::sendPli(uint32_t mediaSsrc)
{
    std::shared_ptr<MediaTransport> transport;
    {
        std::lock_guard<std::mutex> lock(streamsMutex_);
        transport = feedbackTransport_;
    }
    // Until the answer names our SSRCs there is none to ask from.
    return transport && transport->reportingSsrc() != 0 &&
           transport->sendPli(transport->reportingSsrc(), mediaSsrc);
}

int MediaEngine::GetStats()
{
    return journaled("GetStats", {}, [&] {
        velto_webrtc::rtc_stat_info stats;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const TransportStats measured = transport_ ? transport_->stats() : TransportStats();
            const auto kbpsOf = [&](uint32_t ssrc, bool sent) {
                for (const TransportStats::Stream& s : measured.streams)
                    if (s.ssrc == ssrc && s.sent == sent)
                        return s.kbps;
                return 0;
            };
            int audioSend = 0, videoSend = 0, audioRecv = 0, videoRecv = 0, loss = 0;
            for (const auto& [label, stream] : localStreams_) {
                for (const Track& track : stream.tracks) {
                    const int kbps = kbpsOf(track.ssrc, true);
                    (track.kind == "audio" ? audioSend : videoSend) += kbps;
                    stats.media.push_back({track.label, track.kind, std::to_string(kbps)});
                }
            }
            for (const RemoteSource& remote : remoteSources_)
                (remote.source.kind == "audio" ? audioRecv : videoRecv) += kbpsOf(remote.ssrc, false);
            // The loss of what this participant receives, in percent: the
            // worst of its streams over the last report interval.
            for (const TransportStats::Stream& s : measured.streams)
                if (!s.sent)
                    loss = std::max(loss, s.lossPercent);
            stats.audioSendBitrate = std::to_string(audioSend);
            stats.audioRecvBitrate = std::to_string(audioRecv);
            stats.videoSendBitrate = std::to_string(videoSend);
            stats.videoRecvBitrate = std::to_string(videoRecv);
            stats.packetLoss = std::to_string(loss);
        }
        emit([stats](velto_webrtc::velto_media_observer& observer) {
            velto_webrtc::rtc_stat_info copy = stats;
            observer.OnStats(copy);
        });
        return 0;
    });
}

}  // namespace velto_media
