#include "MediaBenchSupport.h"

#include <json/json.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "MediaTestSupport.h"

namespace velto::bench {

ProcessUsage processUsage(pid_t pid)
{
    ProcessUsage usage;
    const std::string dir = "/proc/" + std::to_string(pid);
    std::ifstream stat(dir + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return usage;
    // The name (field 2) may hold spaces: the fields after it are counted from its closing parenthesis.
    const size_t close = line.rfind(')');
    if (close == std::string::npos)
        return usage;
    std::istringstream fields(line.substr(close + 2));
    std::vector<std::string> after;
    std::string field;
    while (fields >> field)
        after.push_back(field);
    // utime and stime are fields 14 and 15 of the whole line, 12th and 13th after the name.
    if (after.size() < 13)
        return usage;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    usage.cpuSeconds = (std::stod(after[11]) + std::stod(after[12])) / ticks;
    std::ifstream status(dir + "/status");
    while (std::getline(status, line)) {
        const auto kib = [&](const char* key) { return std::stod(line.substr(std::string(key).size())) / 1024; };
        if (line.rfind("VmRSS:", 0) == 0)
            usage.rssMib = kib("VmRSS:");
        else if (line.rfind("VmHWM:", 0) == 0)
            usage.peakRssMib = kib("VmHWM:");
    }
    usage.known = true;
    return usage;
}

CpuWindow::CpuWindow(pid_t pid)
    : pid_(pid), startCpu_(processUsage(pid).cpuSeconds), startWall_(std::chrono::steady_clock::now())
{
}

double CpuWindow::percent() const
{
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - startWall_).count();
    return wall > 0 ? 100 * (processUsage(pid_).cpuSeconds - startCpu_) / wall : 0;
}

std::string loadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const double rank = std::ceil(fraction * double(values.size()));
    const size_t index = size_t(std::clamp(rank, 1.0, double(values.size()))) - 1;
    return values[index];
}

int intOption(int argc, char** argv, const std::string& name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (argv[i] == name)
            return std::atoi(argv[i + 1]);
    return fallback;
}

bool flagOption(int argc, char** argv, const std::string& name)
{
    return std::find(argv + 1, argv + argc, name) != argv + argc;
}

std::string freshFolder(const std::string& name)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

void writeTone(const std::string& path, int frequency, int seconds)
{
    constexpr int kRate = 48000;
    media_test::writeWav(path, media_test::tone(frequency, kRate, size_t(kRate) * seconds), kRate);
}

std::string fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

RelayLab::RelayLab(const std::string& dir, bool overTls)
    : dir_(dir), overTls_(overTls), server_(lab_.add("server")), client_(lab_.add("client"))
{
    lab_.link(server_, "192.0.2.1/24", client_, "192.0.2.2/24");
    lab_.dropUdp(client_);
    velto::test::TurnTls tls;
    if (overTls) {
        ca_ = std::make_unique<velto::test::TestCa>(dir);
        const velto::test::TestCa::Files files = ca_->issue("turn", {"192.0.2.1"});
        tls = {5349, files.certificate, files.key};
    }
    relay_ = lab_.startTurnServer(server_, "192.0.2.1", 3479, "bench", "relay", dir, tls);
}

velto::test::LocalServer::Options RelayLab::serverOptions() const
{
    velto::test::LocalServer::Options options;
    options.networkNamespace = server_;
    options.listen = "192.0.2.1";
    options.iceServers = {overTls_ ? "turns:192.0.2.1:5349,bench,relay"
                                   : "turn:192.0.2.1:3479?transport=tcp,bench,relay"};
    return options;
}

void RelayLab::trust(const velto::test::LocalServer& server) const
{
    const std::string bundle = dir_ + "/trusted.pem";
    {
        std::ofstream out(bundle);
        out << std::ifstream(server.caFile()).rdbuf();
        if (ca_)
            out << std::ifstream(ca_->caFile()).rdbuf();
    }
    setenv("VELTO_CA_BUNDLE", bundle.c_str(), 1);
}

}  // namespace velto::bench
