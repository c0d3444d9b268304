#include "support/AllocationFaults.h"

#include <cstdlib>
#include <new>

#include <windows.h>

namespace {
volatile LONG g_count = 0;
volatile LONG g_failAt = -1;  // the count at which to fail, or -1
volatile LONG g_failAll = 0;
}

namespace AllocationFaults {
void FailAfter(int skip) { g_failAt = g_count + skip + 1; }
void FailNext() { FailAfter(0); }
void FailAll() { g_failAll = 1; }
void Reset()
{
    g_failAt = -1;
    g_failAll = 0;
}
long Count() { return g_count; }
}  // namespace AllocationFaults

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    LONG count = InterlockedIncrement(&g_count);
    if (g_failAll || count == g_failAt)
        return nullptr;
    return std::malloc(size ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
