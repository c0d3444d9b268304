#pragma once
#include <windows.h>
#include <oaidl.h>

#include <atomic>

class ServerModule;

struct NameCacheEntry {
    BSTR name;   // null when the name could not be obtained: never matches
    int length;
    DISPID id;
};

// The process-wide cache of one interface's type information and its member names.
// Not reference counted: its contents go only through the shutdown callback.
class TypeInfoHolder {
public:
    TypeInfoHolder(ServerModule& module, const IID& iid, const GUID& libid, WORD major, WORD minor);
    TypeInfoHolder(const TypeInfoHolder&) = delete;
    TypeInfoHolder& operator=(const TypeInfoHolder&) = delete;

    HRESULT LoadTypeInfo(LCID locale);
    // Loads now if the calling thread has an activation context active: one that finds an
    // unregistered library may be gone by the first late-bound call (script hosts activate it
    // around object creation only). Without a context loading stays lazy, and a failure here is
    // left for that first call to report.
    void LoadWithinActivationContext();
    HRESULT GetTypeInfo(LCID locale, ITypeInfo** info);
    HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, LCID locale, DISPID* ids);
    HRESULT Invoke(IDispatch* instance, DISPID id, LCID locale, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError);
    HRESULT BuildNameCache(ITypeInfo* info);
    static void ReleaseTypeInfo(DWORD_PTR holder);

    // Seen by tests.
    ITypeInfo* CachedTypeInfo() const { return typeInfo_.load(std::memory_order_acquire); }
    int NameCount() const { return nameCount_; }
    const NameCacheEntry* Names() const { return names_; }
    // Test seam: publishes `info` exactly as a load from the registry would, lock, shutdown
    // callback and all, so that fake type information can stand in for the registered library.
    HRESULT AdoptTypeInfo(ITypeInfo* info);

private:
    HRESULT Load(LCID locale, ITypeInfo* given);
    HRESULT LoadRegistered(LCID locale, ITypeInfo** info);
    void Publish(ITypeInfo* info);
    const NameCacheEntry* FindName(const OLECHAR* name, int length) const;
    void DestroyNames();

    ServerModule& module_;
    const IID& iid_;
    const GUID& libid_;
    WORD major_;
    WORD minor_;
    // Release-stored after the name table is complete, so a reader that sees it needs no lock.
    std::atomic<ITypeInfo*> typeInfo_{nullptr};
    NameCacheEntry* names_ = nullptr;
    int nameCount_ = 0;
};
