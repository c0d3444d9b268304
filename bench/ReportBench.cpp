#include "ReportBench.h"

#include <windows.h>

#include <cstdio>

#include "Report.h"
#include "Stopwatch.h"

namespace {

std::wstring BesideBench(const wchar_t* name)
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

// Milliseconds from CreateProcess to the end of the report; false unless it exited 0.
bool TimeReport(const std::wstring& arguments, double& ms, std::string& error)
{
    std::wstring line = L"\"" + BesideBench(L"morvaleth-report.exe") + L"\" " + arguments;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                             nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    Stopwatch watch;
    BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    DWORD status = 1;
    if (started) {
        WaitForSingleObject(process.hProcess, 120000);
        ms = watch.ElapsedNs() / 1e6;
        GetExitCodeProcess(process.hProcess, &status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
    if (!started || status != 0) {
        char text[160];
        std::snprintf(text, sizeof text, "morvaleth-report %s: %s %lu", Narrow(arguments).c_str(),
                      started ? "exit status" : "did not start, error", started ? status : GetLastError());
        error = text;
        return false;
    }
    return true;
}

}  // namespace

bool MeasureReport(int pairs, ReportFigures& figures, std::string& error)
{
    const wchar_t* const ways[] = {L"", L"--format evidence"};
    double ms = 0;
    // One unmeasured run of each warms the file cache and the wine server.
    for (const wchar_t* way : ways)
        if (!TimeReport(way, ms, error))
            return false;
    for (int pair = 0; pair < pairs; ++pair) {
        for (int i = 0; i < 2; ++i) {
            int way = (pair + i) % 2;  // alternate which goes first
            if (!TimeReport(ways[way], ms, error))
                return false;
            (way == 0 ? figures.tableMs : figures.evidenceMs).push_back(ms);
        }
    }
    wchar_t folder[MAX_PATH] = {}, file[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"mvb", 0, file);
    bool written = TimeReport(L"--format evidence --out \"" + std::wstring(file) + L"\"", ms, error);
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (written && GetFileAttributesExW(file, GetFileExInfoStandard, &data))
        figures.evidenceBytes = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    DeleteFileW(file);
    return written;
}

double ReportRatio(const ReportFigures& figures) { return Median(figures.evidenceMs) / Median(figures.tableMs); }

void PrintReport(const ReportFigures& figures)
{
    std::printf("fresh report process per sample, the two alternating, standard output to NUL (ms):\n");
    PrintTimingHeader(44);
    PrintTimingRow(44, "morvaleth-report (table)", figures.tableMs);
    PrintTimingRow(44, "morvaleth-report --format evidence", figures.evidenceMs);
    std::printf("samples: %zu per format; evidence / table (medians): %.3f (+%.2f ms); evidence document %llu bytes\n",
                figures.tableMs.size(), ReportRatio(figures), Median(figures.evidenceMs) - Median(figures.tableMs),
                figures.evidenceBytes);
}
