#include "FakeTypeInfo.h"

#include <utility>

FakeTypeInfo::FakeTypeInfo(std::vector<FakeFunction> functions) : functions_(std::move(functions)) {}

const FakeFunction* FakeTypeInfo::ById(MEMBERID id) const
{
    for (const FakeFunction& function : functions_) {
        if (function.id == id)
            return &function;
    }
    return nullptr;
}

HRESULT FakeTypeInfo::TypeInfo2Only()
{
    ++typeInfo2Only;
    return E_NOTIMPL;
}

int FakeTypeInfo::OutstandingDescriptions() const
{
    return getTypeAttr - releaseTypeAttr + getFuncDesc - releaseFuncDesc;
}

HRESULT STDMETHODCALLTYPE FakeTypeInfo::QueryInterface(REFIID iid, void** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITypeInfo)) {
        *out = static_cast<ITypeInfo*>(this);
    } else if (IsEqualIID(iid, IID_ITypeInfo2) && typeInfo2 != nullptr) {
        *out = static_cast<ITypeInfo2*>(typeInfo2);
        typeInfo2->AddRef();
        return S_OK;
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE FakeTypeInfo::AddRef() { return static_cast<ULONG>(++references); }
ULONG STDMETHODCALLTYPE FakeTypeInfo::Release() { return static_cast<ULONG>(--references); }

HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetTypeAttr(TYPEATTR** attributes)
{
    *attributes = nullptr;
    if (FAILED(typeAttrResult))
        return typeAttrResult;
    TYPEATTR* block = static_cast<TYPEATTR*>(CoTaskMemAlloc(sizeof(TYPEATTR)));
    if (block == nullptr)
        return E_OUTOFMEMORY;
    ZeroMemory(block, sizeof *block);
    block->typekind = TKIND_DISPATCH;
    block->cFuncs = static_cast<WORD>(functions_.size());
    block->memidConstructor = MEMBERID_NIL;
    block->memidDestructor = MEMBERID_NIL;
    ++getTypeAttr;
    *attributes = block;
    return S_OK;
}

void STDMETHODCALLTYPE FakeTypeInfo::ReleaseTypeAttr(TYPEATTR* attributes)
{
    ++releaseTypeAttr;
    CoTaskMemFree(attributes);
}

HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetFuncDesc(UINT index, FUNCDESC** function)
{
    *function = nullptr;
    if (index >= functions_.size())
        return TYPE_E_ELEMENTNOTFOUND;
    if (functions_[index].failFuncDesc)
        return E_OUTOFMEMORY;
    FUNCDESC* block = static_cast<FUNCDESC*>(CoTaskMemAlloc(sizeof(FUNCDESC)));
    if (block == nullptr)
        return E_OUTOFMEMORY;
    ZeroMemory(block, sizeof *block);
    block->memid = functions_[index].id;
    block->funckind = FUNC_DISPATCH;
    block->invkind = INVOKE_FUNC;
    block->callconv = CC_STDCALL;
    ++getFuncDesc;
    *function = block;
    return S_OK;
}

void STDMETHODCALLTYPE FakeTypeInfo::ReleaseFuncDesc(FUNCDESC* function)
{
    ++releaseFuncDesc;
    CoTaskMemFree(function);
}

HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* context,
                                                         BSTR* helpFile)
{
    ++getDocumentation;
    if (doc != nullptr || context != nullptr || helpFile != nullptr)
        return E_INVALIDARG;  // the holder asks for the name only
    const FakeFunction* function = ById(id);
    if (function == nullptr)
        return TYPE_E_ELEMENTNOTFOUND;
    if (function->failDocumentation)
        return E_OUTOFMEMORY;
    if (name != nullptr)
        *name = SysAllocString(function->name);
    return S_OK;
}

// Like the platform: case-insensitive, unknown names get DISPID_UNKNOWN and DISP_E_UNKNOWNNAME.
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids)
{
    ++getIDsOfNames;
    lastNameCount = count;
    if (count == 0)
        return S_OK;
    lstrcpynW(lastName, names[0], ARRAYSIZE(lastName));
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        for (const FakeFunction& function : functions_) {
            if (lstrcmpiW(function.name, names[i]) == 0) {
                ids[i] = function.id;
                break;
            }
        }
        if (ids[i] == DISPID_UNKNOWN)
            result = DISP_E_UNKNOWNNAME;
    }
    return result;
}

HRESULT STDMETHODCALLTYPE FakeTypeInfo::Invoke(PVOID instance, MEMBERID id, WORD flags, DISPPARAMS* params,
                                               VARIANT* result, EXCEPINFO*, UINT*)
{
    ++invoke;
    lastInstance = instance;
    lastMember = id;
    lastFlags = flags;
    lastParams = params;
    if (result != nullptr && SUCCEEDED(invokeResult)) {
        VariantInit(result);
        result->vt = VT_I4;
        result->lVal = id;
    }
    return invokeResult;
}

HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetTypeComp(ITypeComp**) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetVarDesc(UINT, VARDESC**) { return TYPE_E_ELEMENTNOTFOUND; }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetNames(MEMBERID, BSTR*, UINT, UINT*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetRefTypeOfImplType(UINT, HREFTYPE*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetImplTypeFlags(UINT, INT*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetRefTypeInfo(HREFTYPE, ITypeInfo**) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::AddressOfMember(MEMBERID, INVOKEKIND, PVOID*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::CreateInstance(IUnknown*, REFIID, PVOID*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetMops(MEMBERID, BSTR*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetContainingTypeLib(ITypeLib**, UINT*) { return E_NOTIMPL; }
void STDMETHODCALLTYPE FakeTypeInfo::ReleaseVarDesc(VARDESC*) {}

HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetTypeKind(TYPEKIND*) { return TypeInfo2Only(); }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetTypeFlags(ULONG*) { return TypeInfo2Only(); }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetFuncIndexOfMemId(MEMBERID, INVOKEKIND, UINT*) { return TypeInfo2Only(); }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetVarIndexOfMemId(MEMBERID, UINT*) { return TypeInfo2Only(); }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetCustData(REFGUID, VARIANT*) { return TypeInfo2Only(); }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetFuncCustData(UINT, REFGUID, VARIANT*) { return TypeInfo2Only(); }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetParamCustData(UINT, UINT, REFGUID, VARIANT*) { return TypeInfo2Only(); }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetVarCustData(UINT, REFGUID, VARIANT*) { return TypeInfo2Only(); }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetImplTypeCustData(UINT, REFGUID, VARIANT*) { return TypeInfo2Only(); }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetDocumentation2(MEMBERID, LCID, BSTR*, DWORD*, BSTR*) { return TypeInfo2Only(); }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetAllCustData(CUSTDATA*) { return TypeInfo2Only(); }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetAllFuncCustData(UINT, CUSTDATA*) { return TypeInfo2Only(); }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetAllParamCustData(UINT, UINT, CUSTDATA*) { return TypeInfo2Only(); }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetAllVarCustData(UINT, CUSTDATA*) { return TypeInfo2Only(); }
HRESULT STDMETHODCALLTYPE FakeTypeInfo::GetAllImplTypeCustData(UINT, CUSTDATA*) { return TypeInfo2Only(); }
