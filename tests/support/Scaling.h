#pragma once

#include <algorithm>
#include <ctime>
#include <malloc.h>
#include <functional>
#include <limits>

namespace orvanta::test {

// How many times longer `large` takes than `small`, in CPU time of the calling thread
// (other programs on a busy machine would stretch a long run more than a short one).
// Each runs `runs` times and its fastest run counts, so that one figure is no outlier.
// For an input ten times larger, work that grows with the input gives about 10, work
// that grows with its square about 100.
inline double TimeRatio(const std::function<void()>& small, const std::function<void()>& large,
                        int runs = 7) {
    // Freed memory stays with the program: a large run is not to be charged for the
    // pages the allocator hands back and takes again on every run.
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    const auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    };
    const auto fastest = [runs, now](const std::function<void()>& work) {
        double best = std::numeric_limits<double>::max();
        for (int i = 0; i < runs; ++i) {
            const double start = now();
            work();
            best = std::min(best, now() - start);
        }
        return std::max(best, 1e-9);
    };
    return fastest(large) / fastest(small);
}

}  // namespace orvanta::test
