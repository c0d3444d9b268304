#include "support/TaskAllocatorSpy.h"

TaskAllocatorSpy& TaskAllocatorSpy::Instance()
{
    static TaskAllocatorSpy* spy = new TaskAllocatorSpy;  // never destroyed, see the header
    return *spy;
}

HRESULT TaskAllocatorSpy::Register()
{
    thread_ = GetCurrentThreadId();
    Reset();
    return CoRegisterMallocSpy(this);
}

void TaskAllocatorSpy::Revoke()
{
    Reset();
    CoRevokeMallocSpy();
}

void TaskAllocatorSpy::Reset(long refuse)
{
    calls_ = 0;
    refuse_ = refuse;
    refused_ = false;
    blocks_.clear();
}

STDMETHODIMP TaskAllocatorSpy::QueryInterface(REFIID iid, void** out)
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

bool TaskAllocatorSpy::Refuse()
{
    if (calls_++ != refuse_)
        return false;
    refused_ = true;
    return true;
}

STDMETHODIMP_(SIZE_T) TaskAllocatorSpy::PreAlloc(SIZE_T request)
{
    return Counts() && Refuse() ? 0 : request;
}

STDMETHODIMP_(void*) TaskAllocatorSpy::PostAlloc(void* actual)
{
    if (Counts() && actual != nullptr)
        blocks_.insert(actual);
    return actual;
}

STDMETHODIMP_(void*) TaskAllocatorSpy::PreFree(void* request, BOOL)
{
    blocks_.erase(request);
    return request;
}

STDMETHODIMP_(SIZE_T) TaskAllocatorSpy::PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL)
{
    *newRequest = request;
    reallocating_ = nullptr;
    reallocSize_ = size;
    if (!Counts())
        return size;
    if (Refuse())
        return 0;  // the old block stays the caller's
    reallocating_ = request;
    return size;
}

STDMETHODIMP_(void*) TaskAllocatorSpy::PostRealloc(void* actual, BOOL)
{
    // A null answer to a request of some size is a failure: the old block stays.
    if (Counts() && (actual != nullptr || reallocSize_ == 0)) {
        blocks_.erase(reallocating_);
        if (actual != nullptr)
            blocks_.insert(actual);
    }
    reallocating_ = nullptr;
    return actual;
}
