#include "common/ModulePath.h"

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

namespace {
struct CrtStartupInfo {
    int newMode;
};
}

// The runtime's own splitting of the wide command line, the same rules that gave argv.
extern "C" int __cdecl __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment, int expandWildcards,
                                      CrtStartupInfo* startup);

std::vector<std::wstring> WideArguments(int argc, char** argv)
{
    std::vector<std::wstring> arguments;
    int count = 0;
    wchar_t** wide = nullptr;
    wchar_t** environment = nullptr;
    CrtStartupInfo startup = {0};
    if (__wgetmainargs(&count, &wide, &environment, 0, &startup) >= 0 && wide != nullptr && count == argc) {
        for (int i = 0; i < count; ++i)
            arguments.push_back(wide[i] != nullptr ? wide[i] : L"");
    } else {
        for (int i = 0; i < argc; ++i)
            arguments.push_back(Widen(argv[i]));
    }
    return arguments;
}
