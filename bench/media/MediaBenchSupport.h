// What the media benchmarks share: the cost of a process read from /proc,
// the machine's load, the command line, figures, and the files the
// participants use (a tone as microphone, their statistics files).
#pragma once

#include <json/value.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "JsonFile.h"

namespace velto::bench {

// What a process has cost so far: CPU time (user and system) and memory.
struct ProcessUsage {
    bool known = false;     // false when the process is gone
    double cpuSeconds = 0;
    double rssMib = 0;      // resident now
    double peakRssMib = 0;  // the most it was resident
};
ProcessUsage processUsage(pid_t pid);

// The CPU a process used from construction to now, in percent of one core.
class CpuWindow {
public:
    explicit CpuWindow(pid_t pid);
    double percent() const;

private:
    pid_t pid_;
    double startCpu_;
    std::chrono::steady_clock::time_point startWall_;
};

// "/proc/loadavg" as "1-min 5-min 15-min".
std::string loadAverage();

// The value `fraction` (0..1) of the way through the sorted values (nearest
// rank); 0 for none.
double percentile(std::vector<double> values, double fraction);

// The value of `--name N` on the command line, or `fallback`.
int intOption(int argc, char** argv, const std::string& name, int fallback);
bool flagOption(int argc, char** argv, const std::string& name);

// A fresh empty folder under the system's temp folder.
std::string freshFolder(const std::string& name);
// A mono 48 kHz WAV file with a sine tone, for a participant's microphone.
void writeTone(const std::string& path, int frequency, int seconds);
// The JSON in `path`; null when it cannot be read.
using velto::test::readJsonFile;

// "12.3" with `decimals` decimals.
std::string fixed(double value, int decimals = 1);

}  // namespace velto::bench
