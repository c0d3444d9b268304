// Identity, lifetime and late binding of the Validate object.
#include "object/Validate.h"

#include "server/ServerModule.h"
#include "object/ValidateTypeInfo.h"

const InterfaceTable Validate::kInterfaces[] = {
    {&IID_IValidate, 0},
    {&IID_IDispatch, 0},
    {nullptr, 0},
};

Validate::Validate() { TheServerModule().Lock(); }

// The members then release the page host's objects, in reverse order of declaration.
Validate::~Validate()
{
    references_ = 1;  // a stray AddRef/Release pair during teardown must not free us twice
}

void Validate::Destroy(Validate* object)
{
    delete object;
    // Last: once the lock is back, another thread may unload the library under this code.
    TheServerModule().Unlock();
}

HRESULT STDMETHODCALLTYPE Validate::QueryInterface(REFIID iid, void** out)
{
    return FindInterface(this, kInterfaces, iid, out);
}

// Apartment-threaded: COM calls one object only from its own thread, so a plain count will do.
ULONG STDMETHODCALLTYPE Validate::AddRef() { return static_cast<ULONG>(++references_); }

ULONG STDMETHODCALLTYPE Validate::Release()
{
    LONG remaining = --references_;
    if (remaining == 0)
        Destroy(this);
    return static_cast<ULONG>(remaining);
}

HRESULT STDMETHODCALLTYPE Validate::GetTypeInfoCount(UINT* count)
{
    if (count == nullptr)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Validate::GetTypeInfo(UINT, LCID locale, ITypeInfo** info)
{
    if (info == nullptr)
        return E_POINTER;
    return ValidateTypeInfo().GetTypeInfo(locale, info);
}

HRESULT STDMETHODCALLTYPE Validate::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale, DISPID* ids)
{
    return ValidateTypeInfo().GetIDsOfNames(names, count, locale, ids);
}

HRESULT STDMETHODCALLTYPE Validate::Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* params,
                                           VARIANT* result, EXCEPINFO* exception, UINT* argumentError)
{
    return ValidateTypeInfo().Invoke(static_cast<IValidate*>(this), id, locale, flags, params, result,
                                     exception, argumentError);
}
