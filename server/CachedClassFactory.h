#pragma once
#include <windows.h>
#include <unknwn.h>

#include "server/InterfaceTable.h"
#include "server/ServerModule.h"
#include "win/CriticalSection.h"

// The class object that the module caches in its class table. The module holds one reference;
// any number of client references beyond it count as one module lock.
class CachedClassFactory final : public IClassFactory {
public:
    static const InterfaceTable kInterfaces[];

    explicit CachedClassFactory(InstanceCreator creator);
    ~CachedClassFactory();
    CachedClassFactory(const CachedClassFactory&) = delete;
    CachedClassFactory& operator=(const CachedClassFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    volatile LONG references_ = 0;
    InstanceCreator creator_;
    OwnedCriticalSection countLock_;
};

// The class-object creator of the class table.
HRESULT CreateClassFactory(InstanceCreator creator, REFIID iid, void** out);
