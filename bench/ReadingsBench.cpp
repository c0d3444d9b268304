#include "ReadingsBench.h"

#include <cstdio>

#include "Stopwatch.h"
#include "checks/CheckCatalog.h"
#include "checks/CheckExplanation.h"

namespace {

// Keeps the answers observable, so that the compiler cannot drop a call.
volatile int g_sink = 0;

double PlainMs()
{
    Stopwatch clock;
    for (const CheckEntry& entry : kCheckCatalog) {
        if (entry.flag != nullptr) {
            g_sink = g_sink + (entry.flag(nullptr) ? 1 : 0);
        } else {
            char text[kCheckTextSize];
            entry.text(text, nullptr);
            g_sink = g_sink + text[0];
        }
    }
    return clock.ElapsedNs() / 1e6;
}

double ExplainedMs(bool& complete)
{
    Stopwatch clock;
    std::vector<CheckOutcome> outcomes = ExplainAll();
    double ms = clock.ElapsedNs() / 1e6;
    complete = outcomes.size() == kCheckCount;
    return ms;
}

}  // namespace

bool MeasureReadings(int pairs, ReadingsFigures& figures)
{
    for (int i = 0; i < pairs; ++i) {
        bool complete = false;
        double plain = PlainMs();
        double explained = ExplainedMs(complete);
        if (!complete)
            return false;
        figures.plainMs.push_back(plain);
        figures.explainedMs.push_back(explained);
        figures.ratio.push_back(explained / plain);
    }
    return true;
}

void PrintReadings(const ReadingsFigures& figures)
{
    std::printf("26 answers without a log (the object's path): median %.3f ms (min %.3f)\n",
                Median(figures.plainMs), Quantile(figures.plainMs, 0.0));
    std::printf("26 answers explained (readings, state, reason): median %.3f ms (min %.3f)\n",
                Median(figures.explainedMs), Quantile(figures.explainedMs, 0.0));
    std::printf("explained / without a log: %.2fx (ratio of medians), paired median %.2fx over %zu pairs\n",
                Median(figures.explainedMs) / Median(figures.plainMs), Median(figures.ratio), figures.ratio.size());
}
