#include "server/CachedClassFactory.h"

#include <new>

const InterfaceTable CachedClassFactory::kInterfaces[] = {
    {&IID_IClassFactory, 0},
    {nullptr, 0},
};

CachedClassFactory::CachedClassFactory(InstanceCreator creator) : creator_(creator) {}

CachedClassFactory::~CachedClassFactory() { references_ = 1; }

HRESULT STDMETHODCALLTYPE CachedClassFactory::QueryInterface(REFIID iid, void** out)
{
    return FindInterface(this, kInterfaces, iid, out);
}

ULONG STDMETHODCALLTYPE CachedClassFactory::AddRef()
{
    LONG count = 0;
    {
        LockGuard guard(countLock_.Section());
        count = InterlockedIncrement(&references_);
        // From 1 (the module's own) to 2: a client now holds the class object.
        if (count == 2)
            TheServerModule().Lock();
    }
    return static_cast<ULONG>(count);
}

ULONG STDMETHODCALLTYPE CachedClassFactory::Release()
{
    LONG count = 0;
    {
        LockGuard guard(countLock_.Section());
        InterlockedDecrement(&references_);
        count = references_;
    }
    if (count == 0)
        delete this;
    else if (count == 1)
        TheServerModule().Unlock();
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE CachedClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (outer != nullptr && !IsEqualGUID(iid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    return creator_(outer, iid, out);
}

HRESULT STDMETHODCALLTYPE CachedClassFactory::LockServer(BOOL lock)
{
    if (lock)
        TheServerModule().Lock();
    else
        TheServerModule().Unlock();
    return S_OK;
}

HRESULT CreateClassFactory(InstanceCreator creator, REFIID iid, void** out)
{
    CachedClassFactory* factory = nullptr;
    try {
        factory = new (std::nothrow) CachedClassFactory(creator);
    } catch (...) {
        factory = nullptr;
    }
    if (factory == nullptr)
        return E_OUTOFMEMORY;
    HRESULT result = factory->QueryInterface(iid, out);
    if (result != S_OK)
        delete factory;
    return result;
}
