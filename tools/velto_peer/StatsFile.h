// The peer's statistics file (--stats): what it received, stream by stream,
// as the engine counted it (velto_media_statistics.h), and what the peer
// itself cost, written as one JSON object when it leaves a meeting:
//
//   {"streams": [{"ssrc", "kind", "seconds", "frames_decoded", "fps",
//                 "longest_freeze_ms", "keyframes", "nacks_sent", "plis_sent",
//                 "packets_lost", "packets_recovered", "frames_from_fec",
//                 "frames_concealed"}...],
//    "cpu_percent", "max_rss_mib"}
#pragma once

#include <chrono>
#include <string>

#include "DrawTarget.h"

// Writes the statistics of every stream received so far and of this process,
// which has run since `started`, into `path` (replaced whole); false when
// the file cannot be written.
bool writeStatsFile(const std::string& path, std::chrono::steady_clock::time_point started);
