#pragma once
#include <string>
#include <vector>

// morvaleth-report.exe (beside the bench) as users run it, one fresh process per sample: the plain
// table against --format evidence, alternating, standard output to NUL. The whole process is
// timed, from CreateProcess to its end: start-up, COM, the 26 calls, and for evidence the report's
// own second reading of every check, the host record and the document.
struct ReportFigures {
    std::vector<double> tableMs, evidenceMs;
    unsigned long long evidenceBytes = 0;
};
bool MeasureReport(int pairs, ReportFigures& figures, std::string& error);
void PrintReport(const ReportFigures& figures);
double ReportRatio(const ReportFigures& figures);
