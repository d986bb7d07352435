#include "ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zorvik {

bool ProgramExists(const std::string& name) {
    if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && ::access((folder + "/" + name).c_str(), X_OK) == 0) return true;
    return false;
}

namespace {

constexpr const char* kLauncherFlag = "--launch-and-measure";
constexpr int kReportFd = 3; // where the launcher writes "<ms> <peak KB> <status>"

using Clock = std::chrono::steady_clock;

} // namespace

int RunLauncher(int argc, char** argv) {
    if (argc < 3 || std::string(argv[1]) != kLauncherFlag) return -1;
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(kReportFd);
        ::execvp(argv[2], argv + 2);
        ::_exit(127);
    }
    if (child < 0) return 127;
    int status = 0;
    rusage usage{};
    while (::wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    ::dprintf(kReportFd, "%.3f %ld %d\n", ms, usage.ru_maxrss, code);
    return code;
}

ChildRun RunChild(const std::vector<std::string>& args, double timeoutSeconds) {
    ChildRun run;
    if (args.empty() || !ProgramExists(args[0])) return run;
    std::vector<std::string> launch = {"/proc/self/exe", kLauncherFlag};
    launch.insert(launch.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (const std::string& a : launch) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int outPipe[2], reportPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) return run;
    if (::pipe2(reportPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]), ::close(outPipe[1]);
        return run;
    }

    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::setpgid(0, 0); // the launcher and the program: killed together
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::dup2(outPipe[1], STDOUT_FILENO);
        if (reportPipe[1] == kReportFd)
            ::fcntl(kReportFd, F_SETFD, 0);
        else
            ::dup2(reportPipe[1], kReportFd);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(reportPipe[1]);
    if (child < 0) {
        ::close(outPipe[0]), ::close(reportPipe[0]);
        return run;
    }
    const auto deadline = start + std::chrono::duration<double>(timeoutSeconds);
    char buffer[65536];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            ::kill(-child, SIGKILL);
            run.timedOut = true;
            break;
        }
        pollfd readable{outPipe[0], POLLIN, 0};
        if (::poll(&readable, 1, int(std::min<long long>(left, 1000))) <= 0) continue;
        const ssize_t n = ::read(outPipe[0], buffer, sizeof buffer);
        if (n > 0)
            run.out.append(buffer, size_t(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(outPipe[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    std::string report;
    while (true) {
        const ssize_t n = ::read(reportPipe[0], buffer, sizeof buffer);
        if (n > 0)
            report.append(buffer, size_t(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(reportPipe[0]);
    std::istringstream fields(report);
    if (!run.timedOut && fields >> run.ms >> run.peakKb >> run.status) run.ran = run.status != 127;
    return run;
}

} // namespace zorvik
