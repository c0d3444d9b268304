#include "Report.h"

#include <cstdio>

#include "Stopwatch.h"

std::string Hex(HRESULT code)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
    return text;
}

void PrintHeading(const char* title)
{
    std::printf("\n== %s\n\n", title);
    std::fflush(stdout);
}

void PrintTimingHeader(int width) { std::printf("%-*s %8s %8s %8s\n", width, "", "median", "min", "max"); }

void PrintTimingRow(int width, const char* what, const std::vector<double>& ms)
{
    std::printf("%-*s %8.3f %8.3f %8.3f\n", width, what, Median(ms), Quantile(ms, 0), Quantile(ms, 1));
}
