// A stopwatch over the performance counter, the median of a set of runs
// with its spread, and the order of a round's runs, shared by the
// benchmarks.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

class CTimer {
public:
    CTimer()
    {
        if (!QueryPerformanceFrequency(&m_freq) || m_freq.QuadPart <= 0)
            m_freq.QuadPart = 0;
        Start();
    }

    // False when the system has no performance counter.
    bool IsValid() const { return m_freq.QuadPart > 0; }

    void Start()
    {
        if (!QueryPerformanceCounter(&m_start))
            m_freq.QuadPart = 0;
    }

    double ElapsedMs() const
    {
        LARGE_INTEGER now;
        if (!IsValid() || !QueryPerformanceCounter(&now))
            return -1.0;
        return static_cast<double>(now.QuadPart - m_start.QuadPart) * 1000.0 / static_cast<double>(m_freq.QuadPart);
    }

private:
    LARGE_INTEGER m_freq;
    LARGE_INTEGER m_start;
};

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// The median of a set of runs and its smallest and largest value.
struct CSpread {
    double dMedian;
    double dMin;
    double dMax;
};

inline CSpread SpreadOf(const std::vector<double>& values)
{
    if (values.empty())
        return {0.0, 0.0, 0.0};
    auto minmax = std::minmax_element(values.begin(), values.end());
    return {Median(values), *minmax.first, *minmax.second};
}

// The ratios a[r] / b[r] of the runs of each round r: two contenders of
// one round met the same state of the machine.
inline CSpread RatioSpread(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> ratios;
    for (size_t r = 0; r < a.size() && r < b.size(); ++r)
        ratios.push_back(a[r] / b[r]);
    return SpreadOf(ratios);
}

// "x1.23 (1.10..1.40)": a ratio's median and spread.
inline std::string RatioText(const CSpread& ratio)
{
    char sz[64];
    snprintf(sz, sizeof sz, "x%.2f (%.2f..%.2f)", ratio.dMedian, ratio.dMin, ratio.dMax);
    return sz;
}

// The order in which round nRound runs n contenders: shuffled with the
// round as the seed, so that each contender follows a different one from
// round to round and what a run leaves to the next (the page cache, the
// disk's write-back) falls on all of them alike; the same on every run
// of the benchmark.
inline std::vector<size_t> RoundOrder(size_t n, int nRound)
{
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = i;
    std::mt19937 rng(static_cast<unsigned>(nRound) + 1u);
    std::shuffle(order.begin(), order.end(), rng);
    return order;
}
