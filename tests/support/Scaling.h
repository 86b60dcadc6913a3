#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <limits>

namespace orvanta::test {

// How many times longer `large` takes than `small`. Each runs `runs` times and its
// fastest run counts, so that a busy machine does not make one figure an outlier.
// For an input ten times larger, work that grows with the input gives about 10, work
// that grows with its square about 100.
inline double TimeRatio(const std::function<void()>& small, const std::function<void()>& large,
                        int runs = 7) {
    const auto fastest = [runs](const std::function<void()>& work) {
        double best = std::numeric_limits<double>::max();
        for (int i = 0; i < runs; ++i) {
            const auto start = std::chrono::steady_clock::now();
            work();
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            best = std::min(best, took.count());
        }
        return std::max(best, 1e-9);
    };
    return fastest(large) / fastest(small);
}

}  // namespace orvanta::test
