// CPU seconds of this process, and the best time of a few runs of a solve.
#ifndef SIMPLEXQP_BENCH_CPU_TIME_H
#define SIMPLEXQP_BENCH_CPU_TIME_H

#include <ctime>

inline double cpuSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// The best of up to `repeats` runs, fewer once a run took over a second:
// repeating only pays where a run is short enough to be disturbed.
template <typename Run>
double bestTime(int repeats, Run run)
{
    double best = 1e300;
    for (int r = 0; r < repeats; ++r) {
        const double start = cpuSeconds();
        run();
        const double seconds = cpuSeconds() - start;
        best = seconds < best ? seconds : best;
        if (seconds > 1.0)
            break;
    }
    return best;
}

#endif
