#include "Stopwatch.h"

#include <algorithm>
#include <utility>

namespace {
double TicksPerSecond()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    return frequency;
}
}

double Stopwatch::ElapsedNs() const
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start_.QuadPart) * 1e9 / TicksPerSecond();
}

double CounterResolutionNs() { return 1e9 / TicksPerSecond(); }

double Quantile(std::vector<double> samples, double fraction)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    double position = fraction * static_cast<double>(samples.size() - 1);
    size_t below = static_cast<size_t>(position);
    if (below + 1 >= samples.size())
        return samples.back();
    double weight = position - static_cast<double>(below);
    return samples[below] * (1.0 - weight) + samples[below + 1] * weight;
}

double Median(std::vector<double> samples) { return Quantile(std::move(samples), 0.5); }
