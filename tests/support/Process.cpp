#include "support/Process.h"

#include "support/Paths.h"

#include <windows.h>

#include <vector>

namespace {

int Run(const std::wstring& commandLine, std::string* output, int seconds)
{
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    if (output && !CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return -1;
    if (readEnd)
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
    }
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr,
                                  &startup, &process);
    if (writeEnd)
        CloseHandle(writeEnd);
    if (!started) {
        if (readEnd)
            CloseHandle(readEnd);
        return -1;
    }
    if (output) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
            output->append(buffer, got);
        CloseHandle(readEnd);
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, seconds * 1000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

}  // namespace

int RunProcess(const std::string& commandLine, int seconds) { return Run(Widen(commandLine), nullptr, seconds); }

int RunProcess(const std::wstring& commandLine, int seconds) { return Run(commandLine, nullptr, seconds); }

int RunProcessCapture(const std::string& commandLine, std::string& output, int seconds)
{
    return Run(Widen(commandLine), &output, seconds);
}

int RunProcessCapture(const std::wstring& commandLine, std::string& output, int seconds)
{
    return Run(commandLine, &output, seconds);
}

int Regsvr32(const std::string& flags)
{
    return RunProcess("regsvr32.exe " + flags + " \"" + BesideExecutable("Morvaleth.DLL") + "\"");
}
