#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The first object of a fresh process, through the DLL's manifest (an activation context made
// from its resource 1) against through its registration: from before the activation through
// CLSIDFromProgID, CoCreateInstance and the first late-bound call, the DLL load included. The two
// ways alternate, one child process per sample, and both must load the same file.
struct FirstObjectFigures {
    std::vector<double> manifestMs, registryMs;
    std::vector<double> contextMs;  // CreateActCtxW + ActivateActCtx, within manifestMs
};
bool MeasureFirstObject(const std::wstring& library, int pairs, FirstObjectFigures& figures, std::string& error);
void PrintFirstObject(const FirstObjectFigures& figures);
double FirstObjectRatio(const FirstObjectFigures& figures);

// The child's side: `way` is "manifest" or "registry"; prints
// "first-object <context ns> <total ns> <serving module>".
int RunFirstObjectChild(const char* way, const wchar_t* library);
