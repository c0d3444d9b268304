#include "checks/RegistryReads.h"

#include <cstring>

static_assert(kCheckTextSize == kRegistryTextBytes + 1, "a full registry text needs room for a terminator");

namespace {

void Hand(ValueRead* read, LONG status, DWORD type, DWORD size)
{
    if (read != nullptr)
        *read = {status, type, size};
}

}  // namespace

DWORD QueryNumber(HKEY key, const char* name, ValueRead* read)
{
    DWORD number = 0;
    DWORD type = 0;
    DWORD size = sizeof number;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size);
    Hand(read, status, type, size);
    if (status != ERROR_SUCCESS)
        return 0;
    return number;
}

void QueryText(HKEY key, const char* name, char (&text)[kCheckTextSize], ValueRead* read)
{
    std::memset(text, 0, sizeof text);
    DWORD type = 0;
    DWORD size = kRegistryTextBytes;
    // The last byte is never handed out, so a value of 260 bytes without a zero stays terminated.
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    Hand(read, status, type, size);
    if (status != ERROR_SUCCESS)
        std::memset(text, 0, sizeof text);
}

LONG QueryStatus(HKEY key, const char* name, ValueRead* read)
{
    BYTE data[kRegistryTextBytes] = {};
    DWORD type = 0;
    DWORD size = sizeof data;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, data, &size);
    Hand(read, status, type, size);
    return status;
}
