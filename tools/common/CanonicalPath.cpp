#include "common/CanonicalPath.h"

#include <windows.h>

#include <cwctype>

std::wstring CanonicalPath(const std::wstring& path)
{
    wchar_t buffer[MAX_PATH] = {};
    DWORD length = GetLongPathNameW(path.c_str(), buffer, MAX_PATH);
    std::wstring text = length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : path;
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}
