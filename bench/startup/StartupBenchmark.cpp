// Start-up benchmark: the time from exec until the first window is mapped,
// read from the X server's map events, for
//   - a bare Qt widgets window with one label (the yardstick),
//   - the program with the local conference server answering the update check,
//   - the program with a server that accepts connections but never answers.
// Runs are interleaved; each program run starts as a new user would (empty
// data, settings and temp folders). Prints the medians and their ratio.
//
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/test/bin/startup_bench [--runs N]
#include <xcb/xcb.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kMapTimeoutMs = 15000;

[[noreturn]] void die(const std::string& what)
{
    std::fprintf(stderr, "startup_bench: %s\n", what.c_str());
    std::exit(1);
}

// Watches the root window for top-level windows being mapped.
class MapWatcher {
public:
    MapWatcher()
    {
        connection_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection_))
            die("no X display (run under xvfb-run -a)");
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        const char name[] = "_NET_WM_PID";
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr);
        if (!atom)
            die("cannot intern _NET_WM_PID");
        pidAtom_ = atom->atom;
        std::free(atom);
        xcb_flush(connection_);
    }
    ~MapWatcher() { xcb_disconnect(connection_); }

    void drain()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_))
            std::free(event);
    }

    // Waits until a window of process `pid` is mapped; false on time-out.
    bool waitForMap(pid_t pid, Clock::time_point& mappedAt)
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kMapTimeoutMs);
        while (Clock::now() < deadline) {
            xcb_generic_event_t* event = xcb_poll_for_event(connection_);
            if (!event) {
                pollfd fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
                ::poll(&fd, 1, 50);
                continue;
            }
            const Clock::time_point now = Clock::now();
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const xcb_window_t window = mapped ? reinterpret_cast<xcb_map_notify_event_t*>(event)->window : 0;
            std::free(event);
            if (mapped && windowPid(window) == pid) {
                mappedAt = now;
                return true;
            }
        }
        return false;
    }

private:
    pid_t windowPid(xcb_window_t window)
    {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window, pidAtom_, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        pid_t pid = -1;
        if (reply && xcb_get_property_value_length(reply) == 4)
            pid = pid_t(*static_cast<uint32_t*>(xcb_get_property_value(reply)));
        std::free(reply);
        return pid;
    }

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_atom_t pidAtom_ = 0;
};

pid_t spawn(const std::vector<std::string>& args, const std::map<std::string, std::string>& overrides,
            int stdoutFd = -1)
{
    std::map<std::string, std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const auto equals = text.find('=');
        if (equals != std::string::npos)
            env[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : overrides)
        env[name] = value;
    std::vector<std::string> envText;
    for (const auto& [name, value] : env)
        envText.push_back(name + "=" + value);
    std::vector<char*> envp, argv;
    for (std::string& text : envText)
        envp.push_back(text.data());
    envp.push_back(nullptr);
    std::vector<std::string> argsCopy = args;
    for (std::string& arg : argsCopy)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int quiet = ::open("/dev/null", O_WRONLY);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd >= 0 ? stdoutFd : quiet, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, quiet, STDERR_FILENO);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(quiet);
    if (error != 0)
        die(std::string("cannot start ") + args[0] + ": " + std::strerror(error));
    return pid;
}

void stop(pid_t pid)
{
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        ::usleep(20000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// The local conference server, serving the current version's manifest.
struct Server {
    pid_t pid = -1;
    std::string host;  // "localhost:PORT"
    std::string caFile;

    explicit Server(const fs::path& dir)
    {
        int out[2];
        if (::pipe(out) != 0)
            die("pipe");
        fs::create_directories(dir);
        pid = spawn({VELTO_SERVER_BINARY, "--port", "0", "--cert-dir", dir.string()}, {}, out[1]);
        ::close(out[1]);
        std::string text;
        char c;
        while (text.find('\n') == std::string::npos && ::read(out[0], &c, 1) == 1)
            text += c;
        ::close(out[0]);
        const std::string prefix = "listening 127.0.0.1:";
        if (text.rfind(prefix, 0) != 0)
            die("the local server did not start: " + text);
        host = "localhost:" + text.substr(prefix.size(), text.find('\n') - prefix.size());
        caFile = (dir / "ca.pem").string();
    }
    ~Server() { stop(pid); }
};

// A port that takes connections into its backlog and never says a word.
struct SilentServer {
    int fd = -1;
    std::string host;

    SilentServer()
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 64) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            die("cannot open the silent port");
        host = "localhost:" + std::to_string(ntohs(address.sin_port));
    }
    ~SilentServer() { ::close(fd); }
};

struct Case {
    const char* name;
    std::vector<std::string> args;
    std::map<std::string, std::string> env;  // besides the fresh folders
    std::vector<double> ms;
};

// One start in fresh folders: milliseconds from exec to the first map, or -1.
double measure(MapWatcher& watcher, const Case& c, const fs::path& home)
{
    fs::remove_all(home);
    std::map<std::string, std::string> env = c.env;
    for (const char* folder : {"TMPDIR", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        const fs::path path = home / folder;
        fs::create_directories(path);
        fs::permissions(path, fs::perms::owner_all);
        env[folder] = path.string();
    }
    watcher.drain();
    const Clock::time_point start = Clock::now();
    const pid_t pid = spawn(c.args, env);
    Clock::time_point mapped;
    const bool shown = watcher.waitForMap(pid, mapped);
    stop(pid);
    fs::remove_all(home);
    return shown ? std::chrono::duration<double, std::milli>(mapped - start).count() : -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = 7;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            die("usage: startup_bench [--runs N]");
    }
    ::signal(SIGPIPE, SIG_IGN);
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/startup_bench.XXXXXX";
    if (!::mkdtemp(pattern.data()))
        die("cannot make a temp folder");
    const fs::path base = pattern;

    MapWatcher watcher;
    Server server(base / "server");
    SilentServer silent;
    std::vector<Case> cases = {
        {"bare Qt window", {BARE_WINDOW_BINARY}, {}, {}},
        {"program, local server",
         {VELTO_DESKTOP_BINARY},
         {{"VELTO_UPDATE_HOST", server.host}, {"VELTO_CA_BUNDLE", server.caFile}},
         {}},
        {"program, silent server",
         {VELTO_DESKTOP_BINARY},
         {{"VELTO_UPDATE_HOST", silent.host}, {"VELTO_CA_BUNDLE", server.caFile}},
         {}},
    };

    // One round to warm the page cache, then the measured rounds, interleaved.
    for (int round = -1; round < runs; ++round) {
        for (Case& c : cases) {
            const double ms = measure(watcher, c, base / "home");
            if (ms < 0)
                std::fprintf(stderr, "%s: no window within %d ms\n", c.name, kMapTimeoutMs);
            else if (round >= 0)
                c.ms.push_back(ms);
        }
    }
    fs::remove_all(base);

    std::printf("exec -> first window mapped, median of %d runs:\n", runs);
    for (const Case& c : cases) {
        std::printf("  %-24s %8.1f ms   (", c.name, median(c.ms));
        for (size_t i = 0; i < c.ms.size(); ++i)
            std::printf("%s%.0f", i ? " " : "", c.ms[i]);
        std::printf(")\n");
    }
    const double bare = median(cases[0].ms);
    if (bare > 0)
        std::printf("program with the local server / bare window: %.2fx\n", median(cases[1].ms) / bare);
    return 0;
}
