// startup_bench: start-up time of unmodified programs, from exec to their
// first window shown (its first expose handled, i.e. the first frame
// painted), measured through the preloaded probe (startprobe.cpp).
//
//     startup_bench PROBE.so RUNS PROGRAM...
//
// Runs the programs in turn (A B A B ...), RUNS times each after one
// untimed warm-up run each, in the current directory and environment. The
// clock starts just before fork() and stops at the probe's monotonic time
// stamp. For each program prints one line:
//
//     startup <program> <median ms> <min ms> <max ms> <median VmRSS kB> <platform> <median CPU ms>
//
// (the CPU time is the program's own, all threads, until it ended at the
// probe.)

#include "procstats.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char **environ;

namespace {

struct Sample {
    double ms = 0;
    long rssKb = 0;
    std::string platform;
    double cpuMs = 0;
};

[[noreturn]] void die(const std::string &what)
{
    std::fprintf(stderr, "startup_bench: %s\n", what.c_str());
    std::exit(1);
}

Sample runOnce(const std::string &probe, const std::string &program)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        die("pipe: " + std::string(std::strerror(errno)));

    // The child's environment: ours plus the probe.
    std::vector<std::string> env;
    std::string preload = "LD_PRELOAD=" + probe;
    for (char **e = environ; *e; ++e) {
        if (std::strncmp(*e, "LD_PRELOAD=", 11) == 0)
            preload += std::string(":") + (*e + 11);
        else if (std::strncmp(*e, "STARTPROBE_FD=", 14) != 0)
            env.emplace_back(*e);
    }
    env.push_back(preload);
    env.emplace_back("STARTPROBE_FD=3");
    std::vector<char *> envp;
    for (std::string &s : env)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string prog = program;
    char *argv[] = {prog.data(), nullptr};

    const long long start = bench::monotonicNs();
    const pid_t pid = ::fork();
    if (pid < 0)
        die("fork: " + std::string(std::strerror(errno)));
    if (pid == 0) {
        ::dup2(fds[1], 3); // dup2 clears close-on-exec on fd 3
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0)
            ::dup2(null, 1);
        ::execve(argv[0], argv, envp.data());
        ::_exit(127);
    }
    ::close(fds[1]);

    std::string reply;
    char buf[256];
    pollfd p{fds[0], POLLIN, 0};
    for (;;) {
        const int r = ::poll(&p, 1, 30000);
        if (r == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            die(program + ": no window shown within 30 s");
        }
        if (r < 0 && errno == EINTR)
            continue;
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0)
            break;
        reply.append(buf, size_t(n));
    }
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double cpuMs = 1e3 * double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;

    long long stamp = 0;
    long rss = 0;
    char platform[64] = "";
    if (std::sscanf(reply.c_str(), "%lld %ld %63s", &stamp, &rss, platform) != 3)
        die(program + ": ended without showing a window (status " + std::to_string(status) + ")");
    return Sample{double(stamp - start) / 1e6, rss, platform, cpuMs};
}

template <typename T> T median(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 4)
        die("usage: startup_bench PROBE.so RUNS PROGRAM...");
    const std::string probe = argv[1];
    const int runs = std::atoi(argv[2]);
    const std::vector<std::string> programs(argv + 3, argv + argc);
    if (runs < 1)
        die("RUNS must be at least 1");

    for (const std::string &prog : programs) // warm-up: page cache, font cache
        runOnce(probe, prog);

    std::vector<std::vector<Sample>> samples(programs.size());
    for (int i = 0; i < runs; ++i)
        for (size_t k = 0; k < programs.size(); ++k)
            samples[k].push_back(runOnce(probe, programs[k]));

    for (size_t k = 0; k < programs.size(); ++k) {
        std::vector<double> ms;
        std::vector<long> rss;
        std::vector<double> cpu;
        for (const Sample &s : samples[k]) {
            ms.push_back(s.ms);
            rss.push_back(s.rssKb);
            cpu.push_back(s.cpuMs);
        }
        std::printf("startup %s %.1f %.1f %.1f %ld %s %.1f\n", programs[k].c_str(), median(ms),
                    *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()), median(rss),
                    samples[k].front().platform.c_str(), median(cpu));
    }
    return 0;
}
