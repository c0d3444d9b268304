// Placeholder until the dispatch work lands: answers that nothing is loaded.
#include "server/TypeInfoHolder.h"

#include <Morvaleth.h>

#include "server/ServerModule.h"

TypeInfoHolder::TypeInfoHolder(ServerModule& module, const IID& iid, const GUID& libid, WORD major, WORD minor)
    : module_(module), iid_(iid), libid_(libid), major_(major), minor_(minor)
{
}

HRESULT TypeInfoHolder::LoadTypeInfo(LCID) { return E_NOTIMPL; }
HRESULT TypeInfoHolder::GetTypeInfo(LCID, ITypeInfo** info)
{
    *info = nullptr;
    return E_NOTIMPL;
}
HRESULT TypeInfoHolder::GetIDsOfNames(LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT TypeInfoHolder::Invoke(IDispatch*, DISPID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}
HRESULT TypeInfoHolder::BuildNameCache(ITypeInfo*) { return S_OK; }
void TypeInfoHolder::ReleaseTypeInfo(DWORD_PTR) {}

TypeInfoHolder& ValidateTypeInfo()
{
    static TypeInfoHolder holder(TheServerModule(), IID_IValidate, LIBID_MORVALETHLib, 1, 0);
    return holder;
}
