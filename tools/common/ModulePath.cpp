#include "common/ModulePath.h"

#include <shellapi.h>

#include "common/Text.h"

std::wstring ModulePath(HMODULE module)
{
    // XP truncates without a terminator and says nothing else: a full buffer means "grow".
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        std::wstring path(size, L'\0');
        DWORD length = GetModuleFileNameW(module, &path[0], size);
        if (length == 0)
            return std::wstring();
        if (length < size) {
            path.resize(length);
            return path;
        }
    }
    return std::wstring();
}

std::wstring FolderOf(const std::wstring& path)
{
    size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

std::wstring BesideThisProgram(const std::wstring& name) { return FolderOf(ModulePath(nullptr)) + name; }

std::vector<std::wstring> WideArguments(int argc, char** argv)
{
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide != nullptr && count == argc) {
        for (int i = 0; i < count; ++i)
            arguments.push_back(wide[i]);
    } else {
        for (int i = 0; i < argc; ++i)
            arguments.push_back(Widen(argv[i]));
    }
    if (wide != nullptr)
        LocalFree(wide);
    return arguments;
}
