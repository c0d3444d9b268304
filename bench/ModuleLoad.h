#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A child run of a command line: what it wrote to its standard output and its exit code; false
// when it did not start or did not end within a minute.
bool RunChild(const std::wstring& commandLine, std::string& output, DWORD& exitCode);

// Size of the library on disk and in memory.
struct ModuleSize {
    std::wstring path;
    ULONGLONG fileBytes = 0;
    DWORD imageBytes = 0;  // SizeOfImage of the loaded module
};
bool MeasureModuleSize(HMODULE library, ModuleSize& size, std::string& error);

// LoadLibrary, the first object (DllGetClassObject + CreateInstance), the first GetIDsOfNames
// (which loads the registered type library) and the first Invoke, each timed in a fresh child
// process that has started COM before the clock starts.
struct ColdStartFigures {
    std::vector<double> loadMs, objectMs, namesMs, invokeMs, totalMs;
};
bool MeasureColdStart(const std::wstring& library, int runs, ColdStartFigures& figures, std::string& error);
void PrintColdStart(const ModuleSize& size, const ColdStartFigures& figures);

// The child's side: prints one line "cold-start <load> <object> <names> <invoke>" in ns.
int RunColdStartChild(const wchar_t* library);
