#pragma once
#include <windows.h>
#include <objidl.h>

#include <set>

// A malloc spy (CoRegisterMallocSpy) that counts the task allocator's allocations and
// reallocations made on the registering thread, refuses a chosen one, and tracks the blocks
// that such calls hand out, so that a test can tell that everything was given back.
// Refusing is done by answering 0 from PreAlloc/PreRealloc, as the spy contract allows.
// The one spy lives as long as the process: COM keeps calling a revoked spy until every
// block allocated under it is freed.
class TaskAllocatorSpy : public IMallocSpy {
public:
    static TaskAllocatorSpy& Instance();
    TaskAllocatorSpy(const TaskAllocatorSpy&) = delete;
    TaskAllocatorSpy& operator=(const TaskAllocatorSpy&) = delete;

    // On the calling thread, which is the one whose calls are counted.
    HRESULT Register();
    void Revoke();
    // Starts counting anew; the call with index `refuse` (0 = the next one) fails; -1: none.
    void Reset(long refuse = -1);
    long Calls() const { return calls_; }
    bool Refused() const { return refused_; }
    // Blocks handed out since Reset and not freed.
    size_t Outstanding() const { return blocks_.size(); }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T request) override;
    STDMETHODIMP_(void*) PostAlloc(void* actual) override;
    STDMETHODIMP_(void*) PreFree(void* request, BOOL spyed) override;
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL spyed) override;
    STDMETHODIMP_(void*) PostRealloc(void* actual, BOOL spyed) override;
    STDMETHODIMP_(void*) PreGetSize(void* request, BOOL) override { return request; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    STDMETHODIMP_(void*) PreDidAlloc(void* request, BOOL) override { return request; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}

private:
    TaskAllocatorSpy() = default;
    bool Counts() const { return GetCurrentThreadId() == thread_; }
    bool Refuse();

    DWORD thread_ = 0;
    long calls_ = 0;
    long refuse_ = -1;
    bool refused_ = false;
    void* reallocating_ = nullptr;
    SIZE_T reallocSize_ = 0;
    std::set<void*> blocks_;
};
