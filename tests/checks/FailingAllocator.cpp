#include "FailingAllocator.h"

#include <cstdlib>
#include <new>

namespace {
bool g_fail = false;
long g_count = 0;
ModuleState* g_stateAtLast = nullptr;

void* Allocate(std::size_t size)
{
    ++g_count;
    g_stateAtLast = CurrentModuleState();
    if (g_fail)
        return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

void NothrowAllocations::FailFromNow(bool fail) { g_fail = fail; }
long NothrowAllocations::Count() { return g_count; }
ModuleState* NothrowAllocations::StateAtLast() { return g_stateAtLast; }

// Replacements of the library's nothrow forms. The matching deletes must free with free().
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
