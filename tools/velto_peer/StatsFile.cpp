#include "StatsFile.h"

#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "velto_media_statistics.h"

namespace {

double seconds(const timeval& time)
{
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

}  // namespace

bool writeStatsFile(const std::string& path, std::chrono::steady_clock::time_point started)
{
    std::ostringstream json;
    json << "{\"streams\": [";
    bool first = true;
    for (const velto_media::ReceivedStreamStatistics& s : velto_media::receiveStatistics()) {
        json << (first ? "\n  " : ",\n  ") << "{\"ssrc\": " << s.ssrc << ", \"kind\": \""
             << (s.video ? "video" : "audio") << "\", \"seconds\": " << number(s.seconds)
             << ", \"frames_decoded\": " << s.framesDecoded
             << ", \"fps\": " << number(s.seconds > 0 ? s.framesDecoded / s.seconds : 0)
             << ", \"longest_freeze_ms\": " << s.longestFreezeMs << ", \"keyframes\": " << s.keyframes
             << ", \"nacks_sent\": " << s.nacksSent << ", \"plis_sent\": " << s.plisSent
             << ", \"packets_lost\": " << s.packetsLost << ", \"packets_recovered\": " << s.packetsRecovered
             << ", \"frames_from_fec\": " << s.framesFromFec << ", \"frames_concealed\": " << s.framesConcealed
             << "}";
        first = false;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    // The selected pair of the media connection (empty texts without one).
    const velto_media::IcePathStatistics ice = velto_media::icePathStatistics();
    json << (first ? "" : "\n") << "], \"ice\": {\"local\": \"" << ice.local << "\", \"remote\": \""
         << ice.remote << "\", \"transport\": \"" << ice.transport << "\"}, \"cpu_percent\": " << number(wall > 0 ? 100 * cpu / wall : 0)
         << ", \"max_rss_mib\": " << number(double(usage.ru_maxrss) / 1024) << "}\n";

    // Written aside and moved into place: a reader never sees half a file.
    const std::string partial = path + ".part";
    {
        std::ofstream out(partial, std::ios::trunc);
        out << json.str();
        if (!out.flush())
            return false;
    }
    return std::rename(partial.c_str(), path.c_str()) == 0;
}
