#pragma once
#include <windows.h>
#include <objidl.h>

#include <set>

// A malloc spy (CoRegisterMallocSpy) that keeps, for every thread of the process, the blocks of the
// task allocator handed out while it is registered and not yet given back. It follows the blocks
// themselves rather than the spy's "spyed" flags, which Wine 8 gets wrong after
// CoTaskMemRealloc(NULL, n). The one spy lives as long as the process: COM keeps calling a revoked
// spy until every block allocated under it is freed.
class TaskAllocatorBalance : public IMallocSpy {
public:
    static TaskAllocatorBalance& Instance();
    TaskAllocatorBalance(const TaskAllocatorBalance&) = delete;
    TaskAllocatorBalance& operator=(const TaskAllocatorBalance&) = delete;

    HRESULT Register();
    // Forgets the blocks seen so far and starts counting anew.
    void Reset();
    // Blocks handed out since Reset and not given back.
    long Outstanding();
    // Allocations (reallocations from null included) since Reset.
    long Allocations();

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T request) override { return request; }
    STDMETHODIMP_(void*) PostAlloc(void* actual) override;
    STDMETHODIMP_(void*) PreFree(void* request, BOOL) override;
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override;
    STDMETHODIMP_(void*) PostRealloc(void* actual, BOOL) override;
    STDMETHODIMP_(void*) PreGetSize(void* request, BOOL) override { return request; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    STDMETHODIMP_(void*) PreDidAlloc(void* request, BOOL) override { return request; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}

private:
    TaskAllocatorBalance();

    CRITICAL_SECTION lock_;
    std::set<void*> blocks_;
    long allocations_ = 0;
};
