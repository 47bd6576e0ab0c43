// A stopwatch over the performance counter, and the median of a set of
// runs, shared by the benchmarks.
#pragma once

#include <windows.h>

#include <algorithm>
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
