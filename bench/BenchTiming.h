#pragma once
// Timing and memory figures shared by the benchmark programs.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillpad {

namespace BenchTiming {

// A benchmark that cannot set itself up stops with the reason.
[[noreturn]] inline void Fail(const std::string &what)
{
    throw std::runtime_error(what);
}

inline double TimeMs(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The process's peak resident memory so far, in KiB.
inline long PeakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace BenchTiming

}  // namespace quillpad
