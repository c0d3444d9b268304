// Late binding for IValidate: the registered type information, loaded once, and a table of its
// member names so that names spelled as in the library never call into the type information.
#include "server/TypeInfoHolder.h"

#include <new>

#include "server/ServerModule.h"
#include "win/ComPtr.h"
#include "win/CriticalSection.h"

namespace {
// The locale that the type library declares, and so the one its registration is filed under.
// Wine finds a library filed under 0x409 only for a caller passing 0x409: LOCALE_NEUTRAL,
// LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT, 0x407, 0x411 and 0x809 are told it is not registered.
const LCID kLibraryLocale = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
}

TypeInfoHolder::TypeInfoHolder(ServerModule& module, const IID& iid, const GUID& libid, WORD major, WORD minor)
    : module_(module), iid_(iid), libid_(libid), major_(major), minor_(minor)
{
}

HRESULT TypeInfoHolder::LoadTypeInfo(LCID locale) { return Load(locale, nullptr); }

void TypeInfoHolder::LoadWithinActivationContext()
{
    if (typeInfo_.load(std::memory_order_acquire) != nullptr)
        return;
    HANDLE context = nullptr;
    if (!GetCurrentActCtx(&context) || context == nullptr)
        return;
    ReleaseActCtx(context);
    LoadTypeInfo(LOCALE_USER_DEFAULT);
}

HRESULT TypeInfoHolder::AdoptTypeInfo(ITypeInfo* info)
{
    if (info == nullptr)
        return E_POINTER;
    return Load(LOCALE_NEUTRAL, info);
}

HRESULT TypeInfoHolder::Load(LCID locale, ITypeInfo* given)
{
    if (typeInfo_.load(std::memory_order_acquire) != nullptr)
        return S_OK;

    HRESULT result = S_OK;
    bool published = false;
    {
        LockGuard guard(module_.TypeInfoLock());
        // Another thread may have loaded it while this one waited.
        if (typeInfo_.load(std::memory_order_acquire) == nullptr) {
            ComPtr<ITypeInfo> info;
            if (given != nullptr) {
                given->AddRef();
                info.Adopt(given);
            } else {
                result = LoadRegistered(locale, info.Receive());
            }
            if (info) {
                Publish(info.Get());
                published = true;
            }
        }
    }

    // Once per publication, not per attempt: a client that keeps calling while the library is
    // unregistered must not grow the list. AddShutdownCallback takes the lock itself.
    if (published)
        module_.AddShutdownCallback(&TypeInfoHolder::ReleaseTypeInfo, reinterpret_cast<DWORD_PTR>(this));
    return result;
}

HRESULT TypeInfoHolder::LoadRegistered(LCID locale, ITypeInfo** info)
{
    *info = nullptr;
    ComPtr<ITypeLib> library;
    HRESULT result = LoadRegTypeLib(libid_, major_, minor_, locale, library.Receive());
    if (result == TYPE_E_LIBNOTREGISTERED && locale != kLibraryLocale &&
        SUCCEEDED(LoadRegTypeLib(libid_, major_, minor_, kLibraryLocale, library.Receive())))
        result = S_OK;
    if (FAILED(result))
        return result;
    if (!library)
        return E_UNEXPECTED;
    ComPtr<ITypeInfo> found;
    result = library->GetTypeInfoOfGuid(iid_, found.Receive());
    if (SUCCEEDED(result) && !found)
        result = E_UNEXPECTED;
    if (SUCCEEDED(result))
        *info = found.Detach();
    return result;
}

// Called under the lock on an empty holder; takes its own reference to what it stores.
void TypeInfoHolder::Publish(ITypeInfo* info)
{
    ITypeInfo* chosen = info;
    ITypeInfo2* second = nullptr;
    if (SUCCEEDED(info->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&second))) && second != nullptr)
        chosen = second;  // the reference from QueryInterface becomes the holder's
    else
        chosen->AddRef();
    BuildNameCache(chosen);
    typeInfo_.store(chosen, std::memory_order_release);
}

HRESULT TypeInfoHolder::BuildNameCache(ITypeInfo* info)
{
    // A published table is read without a lock and must never change.
    if (info == nullptr || typeInfo_.load(std::memory_order_acquire) != nullptr)
        return S_OK;
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes)) || attributes == nullptr)
        return S_OK;
    DestroyNames();

    int count = attributes->cFuncs;
    // Without a table every name is resolved by the type information.
    NameCacheEntry* table = count > 0 ? new (std::nothrow) NameCacheEntry[count] : nullptr;
    if (table != nullptr) {
        for (int i = 0; i < count; ++i)
            table[i] = NameCacheEntry{nullptr, -1, DISPID_UNKNOWN};
        for (int i = 0; i < count; ++i) {
            FUNCDESC* function = nullptr;
            if (FAILED(info->GetFuncDesc(static_cast<UINT>(i), &function)) || function == nullptr)
                continue;
            BSTR name = nullptr;
            HRESULT named = info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr);
            if (SUCCEEDED(named) && name != nullptr) {
                table[i] = NameCacheEntry{name, static_cast<int>(SysStringLen(name)), function->memid};
                name = nullptr;
            }
            info->ReleaseFuncDesc(function);
            SysFreeString(name);
        }
    }
    info->ReleaseTypeAttr(attributes);
    names_ = table;
    nameCount_ = table != nullptr ? count : 0;
    return S_OK;
}

HRESULT TypeInfoHolder::GetTypeInfo(LCID locale, ITypeInfo** info)
{
    if (info == nullptr)
        return E_POINTER;
    *info = nullptr;
    HRESULT result = S_OK;
    ITypeInfo* current = typeInfo_.load(std::memory_order_acquire);
    if (current == nullptr) {
        result = LoadTypeInfo(locale);
        current = typeInfo_.load(std::memory_order_acquire);
    }
    if (current == nullptr)
        return result;
    current->AddRef();
    *info = current;
    return S_OK;
}

const NameCacheEntry* TypeInfoHolder::FindName(const OLECHAR* name, int length) const
{
    if (names_ == nullptr)
        return nullptr;
    // Last to first: where a name appears twice, the higher function index wins.
    for (int i = nameCount_ - 1; i >= 0; --i) {
        const NameCacheEntry& entry = names_[i];
        if (entry.name == nullptr || entry.length != length)
            continue;
        int k = 0;
        while (k < length && entry.name[k] == name[k])
            ++k;
        if (k == length)
            return &entry;
    }
    return nullptr;
}

HRESULT TypeInfoHolder::GetIDsOfNames(LPOLESTR* names, UINT count, LCID locale, DISPID* ids)
{
    HRESULT result = S_OK;
    ITypeInfo* info = typeInfo_.load(std::memory_order_acquire);
    if (info == nullptr) {
        result = LoadTypeInfo(locale);
        info = typeInfo_.load(std::memory_order_acquire);
        if (info == nullptr)
            return result;
    }
    // Signed: a count that wraps past INT_MAX asks for nothing.
    int total = static_cast<int>(count);
    if (total <= 0)
        return result;
    if (names == nullptr)
        return E_INVALIDARG;
    if (ids == nullptr)
        return E_POINTER;
    for (int i = 0; i < total; ++i) {
        if (names[i] == nullptr) {
            ids[i] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        const NameCacheEntry* entry = FindName(names[i], lstrlenW(names[i]));
        if (entry != nullptr) {
            ids[i] = entry->id;
            continue;
        }
        // Each name on its own: names after the first are members, not parameters.
        result = info->GetIDsOfNames(&names[i], 1, &ids[i]);
        if (FAILED(result))
            return result;
    }
    return result;
}

HRESULT TypeInfoHolder::Invoke(IDispatch* instance, DISPID id, LCID locale, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT* argumentError)
{
    ITypeInfo* info = typeInfo_.load(std::memory_order_acquire);
    if (info == nullptr) {
        HRESULT loaded = LoadTypeInfo(locale);
        info = typeInfo_.load(std::memory_order_acquire);
        if (info == nullptr)
            return loaded;
    }
    // Wine answers this itself; not every platform's type information checks it.
    if (params == nullptr)
        return E_INVALIDARG;
    return info->Invoke(instance, id, flags, params, result, exception, argumentError);
}

void TypeInfoHolder::DestroyNames()
{
    for (int i = 0; names_ != nullptr && i < nameCount_; ++i)
        SysFreeString(names_[i].name);
    delete[] names_;
    names_ = nullptr;
    nameCount_ = 0;
}

// Runs once for each time it was added; a second run finds nothing to release.
void TypeInfoHolder::ReleaseTypeInfo(DWORD_PTR argument)
{
    TypeInfoHolder* holder = reinterpret_cast<TypeInfoHolder*>(argument);
    if (holder == nullptr)
        return;
    ITypeInfo* info = holder->typeInfo_.exchange(nullptr, std::memory_order_acq_rel);
    if (info != nullptr)
        info->Release();
    holder->DestroyNames();
}
