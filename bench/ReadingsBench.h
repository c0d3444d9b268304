#pragma once
#include <vector>

// The 26 answers straight from the catalog, as the object computes them (no log), against the same
// 26 explained (a log per check, its reasons composed): what the readings cost a caller that asks
// for them, and a check that a caller that does not pays nothing.
struct ReadingsFigures {
    std::vector<double> plainMs, explainedMs, ratio;  // one sample per interleaved pair
};
bool MeasureReadings(int pairs, ReadingsFigures& figures);
void PrintReadings(const ReadingsFigures& figures);
