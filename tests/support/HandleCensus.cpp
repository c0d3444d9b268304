#include "support/HandleCensus.h"

#include <windows.h>

long ProcessHandleCount()
{
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0)
        return static_cast<long>(count);
    // Handle values are multiples of 4 and handed out from the lowest free one.
    long counted = 0;
    int misses = 0;
    for (ULONG_PTR value = 4; misses < 4096; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++counted;
            misses = 0;
        } else {
            ++misses;
        }
    }
    return counted;
}
