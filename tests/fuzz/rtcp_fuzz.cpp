// Feeds arbitrary compound packets to the RTCP reader (reports, NACK, PLI)
// that the media engine and the forwarding unit run on every control packet:
// it never reads past the end, a refused packet leaves nothing behind, and
// the reports and feedback it reads are written and read back unchanged.
#include "Rtcp.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

using namespace velto_media::rtp;

namespace {

// The writer packs NACKs in time quadratic in their length; longer lists
// than this are only read.
constexpr std::size_t kMostNacksWritten = 1024;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool sameReports(const std::vector<ReportBlock>& a, const std::vector<ReportBlock>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].ssrc != b[i].ssrc || a[i].fractionLost != b[i].fractionLost ||
            a[i].cumulativeLost != b[i].cumulativeLost || a[i].highestSequence != b[i].highestSequence ||
            a[i].jitter != b[i].jitter || a[i].lastSr != b[i].lastSr || a[i].delaySinceLastSr != b[i].delaySinceLastSr)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<RtcpItem> items(1);  // a refused packet must not leave this behind
    readRtcpSenderSsrc(data, size, nullptr);
    if (!parseRtcp(data, size, &items)) {
        require(items.empty());
        return 0;
    }
    require(!items.empty());

    std::vector<std::uint8_t> again;
    std::vector<const RtcpItem*> written;
    for (const RtcpItem& item : items) {
        switch (item.type) {
        case RtcpItem::Type::SenderReport:
            appendSenderReport(again, item.senderSsrc, item.ntpTime, item.rtpTimestamp, item.packetCount,
                               item.octetCount, item.reports);
            break;
        case RtcpItem::Type::ReceiverReport:
            appendReceiverReport(again, item.senderSsrc, item.reports);
            break;
        case RtcpItem::Type::Nack:
            require(!item.nackSequences.empty());
            if (item.nackSequences.size() > kMostNacksWritten)
                continue;
            appendNack(again, item.senderSsrc, item.mediaSsrc, item.nackSequences);
            break;
        case RtcpItem::Type::Pli:
            appendPli(again, item.senderSsrc, item.mediaSsrc);
            break;
        case RtcpItem::Type::Other:
            continue;
        }
        written.push_back(&item);
    }
    if (written.empty())
        return 0;

    std::vector<RtcpItem> back;
    require(parseRtcp(again.data(), again.size(), &back));
    require(back.size() == written.size());
    for (std::size_t i = 0; i < back.size(); ++i) {
        const RtcpItem& a = *written[i];
        const RtcpItem& b = back[i];
        require(a.type == b.type && a.senderSsrc == b.senderSsrc);
        switch (a.type) {
        case RtcpItem::Type::SenderReport:
            require(a.ntpTime == b.ntpTime && a.rtpTimestamp == b.rtpTimestamp && a.packetCount == b.packetCount &&
                    a.octetCount == b.octetCount);
            require(sameReports(a.reports, b.reports));
            break;
        case RtcpItem::Type::ReceiverReport:
            require(sameReports(a.reports, b.reports));
            break;
        case RtcpItem::Type::Nack:
            require(a.mediaSsrc == b.mediaSsrc);
            require(std::set<std::uint16_t>(a.nackSequences.begin(), a.nackSequences.end()) ==
                    std::set<std::uint16_t>(b.nackSequences.begin(), b.nackSequences.end()));
            break;
        case RtcpItem::Type::Pli:
            require(a.mediaSsrc == b.mediaSsrc);
            break;
        case RtcpItem::Type::Other:
            break;
        }
    }
    return 0;
}
