#pragma once
// What the benchmarks read about their own process: the resident memory,
// the CPU time used so far (all threads) and a monotonic clock. Plain C++,
// no Qt, so that the start-up probe and launcher can use it too.

#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <cstring>

namespace bench {

// Nanoseconds on the system-wide monotonic clock: comparable between
// processes.
inline long long monotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// User + system CPU seconds of this process so far, every thread included.
inline double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// VmRSS of this process in kB, from /proc/self/status; -1 if unreadable.
inline long vmRssKb()
{
    std::FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            std::sscanf(line + 6, "%ld", &kb);
            break;
        }
    }
    std::fclose(f);
    return kb;
}

} // namespace bench
