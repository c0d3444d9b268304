#include "support/TaskAllocatorBalance.h"

namespace {
// The block being reallocated on this thread, between PreRealloc and PostRealloc.
thread_local void* t_reallocating = nullptr;
thread_local SIZE_T t_reallocSize = 0;

class Holding {
public:
    explicit Holding(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~Holding() { LeaveCriticalSection(&lock_); }
    Holding(const Holding&) = delete;
    Holding& operator=(const Holding&) = delete;

private:
    CRITICAL_SECTION& lock_;
};
}

TaskAllocatorBalance& TaskAllocatorBalance::Instance()
{
    static TaskAllocatorBalance* spy = new TaskAllocatorBalance;  // never destroyed, see the header
    return *spy;
}

TaskAllocatorBalance::TaskAllocatorBalance() { InitializeCriticalSection(&lock_); }

HRESULT TaskAllocatorBalance::Register()
{
    Reset();
    return CoRegisterMallocSpy(this);
}

void TaskAllocatorBalance::Reset()
{
    Holding holding(lock_);
    blocks_.clear();
    allocations_ = 0;
}

long TaskAllocatorBalance::Outstanding()
{
    Holding holding(lock_);
    return static_cast<long>(blocks_.size());
}

long TaskAllocatorBalance::Allocations()
{
    Holding holding(lock_);
    return allocations_;
}

STDMETHODIMP TaskAllocatorBalance::QueryInterface(REFIID iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMallocSpy)) {
        *out = static_cast<IMallocSpy*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(void*) TaskAllocatorBalance::PostAlloc(void* actual)
{
    if (actual != nullptr) {
        Holding holding(lock_);
        blocks_.insert(actual);
        ++allocations_;
    }
    return actual;
}

STDMETHODIMP_(void*) TaskAllocatorBalance::PreFree(void* request, BOOL)
{
    if (request != nullptr) {
        Holding holding(lock_);
        blocks_.erase(request);
    }
    return request;
}

STDMETHODIMP_(SIZE_T) TaskAllocatorBalance::PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL)
{
    *newRequest = request;
    t_reallocating = request;
    t_reallocSize = size;
    return size;
}

STDMETHODIMP_(void*) TaskAllocatorBalance::PostRealloc(void* actual, BOOL)
{
    Holding holding(lock_);
    void* old = t_reallocating;
    bool tracked = old == nullptr || blocks_.count(old) != 0;
    // A null answer to a request of some size is a failure and leaves the old block as it was.
    if (actual != nullptr || t_reallocSize == 0) {
        if (old != nullptr)
            blocks_.erase(old);
        if (actual != nullptr && tracked)
            blocks_.insert(actual);
        if (old == nullptr && actual != nullptr)
            ++allocations_;
    }
    t_reallocating = nullptr;
    return actual;
}
