#include "checks/RegistryReads.h"

#include <cstring>

static_assert(kCheckTextSize == kRegistryTextBytes + 1, "a full registry text needs room for a terminator");

DWORD QueryNumber(HKEY key, const char* name)
{
    DWORD number = 0;
    DWORD type = 0;
    DWORD size = sizeof number;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS)
        return 0;
    return number;
}

void QueryText(HKEY key, const char* name, char (&text)[kCheckTextSize])
{
    std::memset(text, 0, sizeof text);
    DWORD type = 0;
    DWORD size = kRegistryTextBytes;
    // The last byte is never handed out, so a value of 260 bytes without a zero stays terminated.
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
        std::memset(text, 0, sizeof text);
}

LONG QueryStatus(HKEY key, const char* name)
{
    BYTE data[kRegistryTextBytes] = {};
    DWORD type = 0;
    DWORD size = sizeof data;
    return RegQueryValueExA(key, name, nullptr, &type, data, &size);
}
