// Replaces the global allocator of the test executable; the product code linked into it
// allocates through these, so tests can count its allocations and make one fail.
#include "support/CountingAllocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
const int kRecorded = 256;
std::atomic<bool> g_counting{false};
std::atomic<long> g_count{0};
std::atomic<long> g_failAt{0};
std::atomic<std::size_t> g_sizes[kRecorded];
std::atomic<void (*)(std::size_t)> g_observer{nullptr};

void* Allocate(std::size_t size)
{
    if (g_counting.load()) {
        long n = ++g_count;
        if (auto observer = g_observer.load())
            observer(size);
        if (n <= kRecorded)
            g_sizes[n - 1].store(size);
        long failAt = g_failAt.load();
        if (failAt == n || failAt < 0)
            return nullptr;
    }
    return std::malloc(size != 0 ? size : 1);
}

void* AllocateOrThrow(std::size_t size)
{
    void* block = Allocate(size);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}
}

AllocationWindow::AllocationWindow(long failAt)
{
    g_count = 0;
    g_failAt = failAt;
    g_counting = true;
}

AllocationWindow::~AllocationWindow() { Close(); }

void AllocationWindow::Close()
{
    if (!open_)
        return;
    g_counting = false;
    g_failAt = 0;
    open_ = false;
}

long AllocationWindow::Count() const { return g_count.load(); }

long AllocationWindow::CountOfSize(std::size_t size) const
{
    long total = g_count.load(), found = 0;
    for (long i = 0; i < total && i < kRecorded; ++i)
        found += g_sizes[i].load() == size ? 1 : 0;
    return found;
}

void SetAllocationObserver(void (*observer)(std::size_t)) { g_observer = observer; }

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
