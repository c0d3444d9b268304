#pragma once
#include <windows.h>

#include <vector>

// Elapsed time from the performance counter, in nanoseconds.
class Stopwatch {
public:
    Stopwatch() { Restart(); }
    void Restart() { QueryPerformanceCounter(&start_); }
    double ElapsedNs() const;

private:
    LARGE_INTEGER start_;
};

// Nanoseconds per tick of the performance counter (Wine: 100).
double CounterResolutionNs();

// Order statistics of a sample; the argument is taken by value because it is sorted.
double Median(std::vector<double> samples);
// The sample at `fraction` (0..1) of the sorted order, interpolated.
double Quantile(std::vector<double> samples, double fraction);
