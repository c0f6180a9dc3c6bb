#include "MediaTransport.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "Retransmission.h"
#include "rtp/Rtcp.h"
#include "rtp/Vp8Payload.h"

namespace velto_media {
namespace {

constexpr int64_t kReportIntervalMs = 1000;
// After an answer the unit may not know our streams for a moment: the first
// reports are repeated soon.
constexpr int64_t kQuickReportMs = 250;
constexpr int kQuickReports = 3;
constexpr size_t kMaxDatagram = 2048;
constexpr uint8_t kOpusPayloadType = 111;
// One packet is resent at most this often, however many receivers ask.
constexpr int64_t kMinResendMs = 10;

uint32_t clockRateOf(uint8_t payloadType)
{
    return payloadType == kOpusPayloadType ? 48000 : rtp::kVideoClockRate;
}

}  // namespace

int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

MediaTransport::MediaTransport(std::unique_ptr<PacketPort> port, TransportListener* listener)
    : port_(std::move(port)), listener_(listener)
{
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = port_->fd();
    epoll_ctl(epoll_, EPOLL_CTL_ADD, port_->fd(), &event);
    event.data.fd = wake_;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event);
}

MediaTransport::~MediaTransport()
{
    stop();
    ::close(wake_);
    ::close(epoll_);
}

bool MediaTransport::setKeys(const uint8_t* receiveKey, const uint8_t* sendKey)
{
    std::lock_guard<std::mutex> lock(mutex_);
    keyed_ = receiveSession_.init(SrtpSession::Direction::Inbound, receiveKey) &&
             sendSession_.init(SrtpSession::Direction::Outbound, sendKey);
    return keyed_;
}

bool MediaTransport::setDestination(const std::string& host, int port)
{
    std::lock_guard<std::mutex> lock(mutex_);
    connected_ = port_->setDestination(host, port);
    return connected_;
}

void MediaTransport::setReportingSsrc(uint32_t ssrc)
{
    reportingSsrc_ = ssrc;
}

void MediaTransport::reportSoon()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        nextReportMs_ = 0;
        quickReports_ = kQuickReports;
    }
    wake();
}

void MediaTransport::start()
{
    if (thread_.joinable())
        return;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void MediaTransport::stop()
{
    stopping_ = true;
    wake();
    if (thread_.joinable())
        thread_.join();
}

void MediaTransport::wake()
{
    const uint64_t one = 1;
    (void)!::write(wake_, &one, sizeof one);
}

void MediaTransport::run()
{
    int64_t listenerDue = 0;
    while (!stopping_) {
        int64_t now = steadyMs();
        bool reportDue = false;
        int64_t reportAt = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            reportDue = now >= nextReportMs_;
            if (reportDue) {
                nextReportMs_ = now + (quickReports_ > 0 ? kQuickReportMs : kReportIntervalMs);
                quickReports_ = std::max(0, quickReports_ - 1);
            }
            reportAt = nextReportMs_;
        }
        if (reportDue)
            sendReports(now);
        if (listenerDue <= now)
            listenerDue = listener_->onTimer(now);
        const int64_t due = listenerDue > 0 ? std::min(reportAt, listenerDue) : reportAt;
        const int timeout = static_cast<int>(std::clamp<int64_t>(due - steadyMs(), 0, kReportIntervalMs));
        epoll_event events[2];
        const int ready = epoll_wait(epoll_, events, 2, timeout);
        now = steadyMs();
        for (int i = 0; i < ready; ++i) {
            if (events[i].data.fd == wake_) {
                uint64_t count = 0;
                (void)!::read(wake_, &count, sizeof count);
                listenerDue = 0;  // a wake-up may bring new timers
            } else {
                receiveAll(now);
                listenerDue = 0;  // packets may bring new timers (a gap to ask for again)
            }
        }
    }
}

void MediaTransport::receiveAll(int64_t nowMs)
{
    std::vector<uint8_t> packet(kMaxDatagram);
    for (int i = 0; i < 256 && !stopping_; ++i) {
        packet.resize(kMaxDatagram);
        long got = -1;
        {
            // The port's destination changes under the same lock.
            std::lock_guard<std::mutex> lock(mutex_);
            got = port_->receive(packet.data(), packet.size());
        }
        if (got < 0)
            return;
        packet.resize(static_cast<size_t>(got));
        onPacket(packet, nowMs);
    }
}

void MediaTransport::onPacket(std::vector<uint8_t>& packet, int64_t nowMs)
{
    if (rtp::isRtcp(packet.data(), packet.size())) {
        onRtcp(packet, nowMs);
        return;
    }
    rtp::RtpHeader header;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!keyed_ || !receiveSession_.unprotectRtp(packet) || !rtp::parseRtp(packet.data(), packet.size(), &header))
            return;
        auto it = received_.find(header.ssrc);
        if (it == received_.end())
            it = received_.emplace(header.ssrc, Received(clockRateOf(header.payloadType))).first;
        it->second.stream.onPacket(header.sequence, header.timestamp, nowMs, packet.size());
    }
    const size_t payloadSize = packet.size() - header.headerSize - header.paddingSize;
    listener_->onRtp(header, packet.data() + header.headerSize, payloadSize, nowMs);
}

void MediaTransport::onRtcp(std::vector<uint8_t>& packet, int64_t nowMs)
{
    std::vector<rtp::RtcpItem> items;
    std::vector<uint32_t> keyframeRequests;
    std::vector<std::pair<uint32_t, rtp::ReportBlock>> receptionReports;  // by reporter
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!keyed_ || !receiveSession_.unprotectRtcp(packet) || !rtp::parseRtcp(packet.data(), packet.size(), &items))
            return;
        for (const rtp::RtcpItem& item : items) {
            switch (item.type) {
            case rtp::RtcpItem::Type::SenderReport: {
                const auto it = received_.find(item.senderSsrc);
                if (it != received_.end())
                    it->second.stream.onSenderReport(item.ntpTime, nowMs);
                break;
            }
            case rtp::RtcpItem::Type::Nack: {
                const auto it = sent_.find(item.mediaSsrc);
                if (it != sent_.end())
                    resendLocked(it->second, item.nackSequences, nowMs);
                break;
            }
            case rtp::RtcpItem::Type::Pli: {
                const auto it = sent_.find(item.mediaSsrc);
                if (it != sent_.end()) {
                    ++it->second.keyframeRequests;
                    keyframeRequests.push_back(item.mediaSsrc);
                }
                break;
            }
            default:
                break;
            }
            // What the receivers of our streams lost, from any report that names them.
            for (const rtp::ReportBlock& block : item.reports) {
                const auto it = sent_.find(block.ssrc);
                if (it != sent_.end()) {
                    it->second.reportedLoss = block.fractionLost * 100 / 256;
                    receptionReports.emplace_back(item.senderSsrc, block);
                }
            }
        }
    }
    for (uint32_t ssrc : keyframeRequests)
        listener_->onKeyframeRequest(ssrc);
    for (const auto& [reporter, block] : receptionReports)
        listener_->onReceptionReport(reporter, block, nowMs);
}

bool MediaTransport::sendRtp(uint32_t ssrc, uint8_t payloadType, uint32_t timestamp, bool marker,
                             const uint8_t* payload, size_t size)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!keyed_ || !connected_)
        return false;
    auto it = sent_.find(ssrc);
    if (it == sent_.end()) {
        it = sent_.emplace(ssrc, SentStream()).first;
        // A random first sequence number (RFC 3550), as for the SSRC.
        it->second.nextSequence = static_cast<uint16_t>(std::random_device{}());
        const auto retransmission = retransmissions_.find(ssrc);
        if (retransmission != retransmissions_.end()) {
            it->second.history = std::make_unique<SendHistory>();
            it->second.rtxSsrc = retransmission->second;
            it->second.rtxSequence = static_cast<uint16_t>(std::random_device{}());
        }
    }
    SentStream& stream = it->second;
    rtp::RtpHeader header;
    header.payloadType = payloadType;
    header.marker = marker;
    header.sequence = stream.nextSequence++;
    header.timestamp = timestamp;
    header.ssrc = ssrc;
    std::vector<uint8_t> packet;
    packet.reserve(12 + size + 16);
    rtp::appendRtpHeader(packet, header);
    packet.insert(packet.end(), payload, payload + size);
    if (!sendSession_.protectRtp(packet))
        return false;
    stream.packets += 1;
    stream.octets += static_cast<uint32_t>(size);
    stream.bytes += packet.size();
    stream.lastTimestamp = timestamp;
    stream.lastSendMs = steadyMs();
    stream.payloadType = payloadType;
    if (stream.history)
        stream.history->add(header.sequence, timestamp, marker, payload, size, stream.lastSendMs);
    return port_->send(packet.data(), packet.size());
}

void MediaTransport::resendLocked(SentStream& stream, const std::vector<uint16_t>& sequences, int64_t nowMs)
{
    stream.packetsNacked += static_cast<int>(sequences.size());
    if (!stream.history || !keyed_ || !connected_)
        return;
    for (uint16_t sequence : sequences) {
        const SendHistory::Packet* original = stream.history->takeForResend(sequence, nowMs, kMinResendMs);
        if (!original)
            continue;
        rtp::RtpHeader header;
        header.payloadType = kVp8RtxPayloadType;
        header.marker = original->marker;
        header.sequence = stream.rtxSequence++;
        header.timestamp = original->timestamp;
        header.ssrc = stream.rtxSsrc;
        std::vector<uint8_t> packet;
        packet.reserve(12 + 2 + original->payload.size() + 16);
        rtp::appendRtpHeader(packet, header);
        appendRetransmission(packet, sequence, original->payload.data(), original->payload.size());
        if (!sendSession_.protectRtp(packet))
            continue;
        stream.bytes += packet.size();
        if (port_->send(packet.data(), packet.size()))
            ++stream.packetsResent;
    }
}

void MediaTransport::sendNack(uint32_t senderSsrc, uint32_t mediaSsrc, const std::vector<uint16_t>& sequences)
{
    if (sequences.empty())
        return;
    std::vector<uint8_t> packet;
    std::lock_guard<std::mutex> lock(mutex_);
    // A compound starts with a report (RFC 3550 6.1).
    rtp::appendReceiverReport(packet, senderSsrc, {});
    rtp::appendNack(packet, senderSsrc, mediaSsrc, sequences);
    sendRtcpLocked(std::move(packet));
}

bool MediaTransport::sendPli(uint32_t senderSsrc, uint32_t mediaSsrc)
{
    std::vector<uint8_t> packet;
    std::lock_guard<std::mutex> lock(mutex_);
    rtp::appendReceiverReport(packet, senderSsrc, {});
    rtp::appendPli(packet, senderSsrc, mediaSsrc);
    return sendRtcpLocked(std::move(packet));
}

bool MediaTransport::sendRtcpLocked(std::vector<uint8_t> packet)
{
    if (!keyed_ || !connected_ || !sendSession_.protectRtcp(packet))
        return false;
    return port_->send(packet.data(), packet.size());
}

void MediaTransport::sendReports(int64_t nowMs)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!keyed_ || !connected_)
        return;
    std::vector<rtp::ReportBlock> blocks;
    for (auto& [ssrc, received] : received_) {
        received.rate.sample(received.stream.bytes(), nowMs);
        if (blocks.size() < 31)
            blocks.push_back(received.stream.report(ssrc, nowMs));
    }
    bool first = true;
    const uint64_t ntp = ntpNow();
    for (auto& [ssrc, stream] : sent_) {
        stream.rate.sample(stream.bytes, nowMs);
        // Streams quiet for a while (muted, ended) send no more sender reports.
        if (stream.packets == 0 || nowMs - stream.lastSendMs > 5 * kReportIntervalMs)
            continue;
        // The RTP time of now: the last packet's, moved on by the time since.
        const int64_t clockRate = clockRateOf(stream.payloadType);
        const uint32_t elapsed = static_cast<uint32_t>((nowMs - stream.lastSendMs) * clockRate / 1000);
        std::vector<uint8_t> packet;
        rtp::appendSenderReport(packet, ssrc, ntp, stream.lastTimestamp + elapsed, stream.packets, stream.octets,
                                first ? blocks : std::vector<rtp::ReportBlock>());
        sendRtcpLocked(std::move(packet));
        first = false;
    }
    if (first && reportingSsrc_ != 0) {
        std::vector<uint8_t> packet;
        rtp::appendReceiverReport(packet, reportingSsrc_, blocks);
        sendRtcpLocked(std::move(packet));
    }
}

void MediaTransport::setRetransmission(uint32_t mediaSsrc, uint32_t rtxSsrc)
{
    std::lock_guard<std::mutex> lock(mutex_);
    retransmissions_[mediaSsrc] = rtxSsrc;
}

void MediaTransport::forgetSent(uint32_t ssrc)
{
    std::lock_guard<std::mutex> lock(mutex_);
    sent_.erase(ssrc);
    retransmissions_.erase(ssrc);
}

void MediaTransport::forgetReceived(uint32_t ssrc)
{
    std::lock_guard<std::mutex> lock(mutex_);
    received_.erase(ssrc);
}

TransportStats MediaTransport::stats() const
{
    TransportStats stats;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [ssrc, stream] : sent_) {
        TransportStats::Stream sent{ssrc, true, stream.rate.kbps(), stream.reportedLoss};
        sent.packetsNacked = stream.packetsNacked;
        sent.packetsResent = stream.packetsResent;
        sent.keyframeRequests = stream.keyframeRequests;
        stats.streams.push_back(sent);
    }
    for (const auto& [ssrc, received] : received_)
        stats.streams.push_back({ssrc, false, received.rate.kbps(), received.stream.lossPercent()});
    return stats;
}

}  // namespace velto_media
