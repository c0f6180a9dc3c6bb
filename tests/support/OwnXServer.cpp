#include "OwnXServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace velto::test {

OwnXServer::OwnXServer()
{
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        return;
    const std::string fd = std::to_string(ready[1]);
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        fcntl(ready[1], F_SETFD, 0);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        // -noreset: a server that resets when its last client leaves refuses
        // whoever connects during the reset.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    // Xvfb writes its display number once it takes clients.
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    char c = 0;
    while (pid_ > 0 && poll(&wait, 1, 10000) == 1 && read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(ready[0]);
    if (!number.empty())
        display_ = ":" + number;
}

OwnXServer::~OwnXServer()
{
    stopChild(pid_);
}

void stopChild(pid_t& pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    pid = -1;
}

}  // namespace velto::test
