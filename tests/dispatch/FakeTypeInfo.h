#pragma once
#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <vector>

// One function of a fake type information: its name, member identifier and the calls that fail.
struct FakeFunction {
    const wchar_t* name;
    MEMBERID id;
    bool failFuncDesc = false;
    bool failDocumentation = false;
};

// Type information implementing the real ITypeInfo2 that counts what is called on it and fails
// on demand. Lives on the test's stack: a count of zero does not free it. Allocation-free on
// every call the holder makes after loading (GetIDsOfNames, Invoke), so that the counting
// allocator sees only the holder.
class FakeTypeInfo : public ITypeInfo2 {
public:
    explicit FakeTypeInfo(std::vector<FakeFunction> functions);
    FakeTypeInfo(const FakeTypeInfo&) = delete;
    FakeTypeInfo& operator=(const FakeTypeInfo&) = delete;

    // Knobs.
    HRESULT typeAttrResult = S_OK;
    FakeTypeInfo* typeInfo2 = nullptr;  // answers QueryInterface for ITypeInfo2 with this object
    HRESULT invokeResult = S_OK;

    // What was called.
    std::atomic<LONG> references{1};
    std::atomic<int> getTypeAttr{0}, releaseTypeAttr{0}, getFuncDesc{0}, releaseFuncDesc{0};
    std::atomic<int> getDocumentation{0}, getIDsOfNames{0}, invoke{0}, typeInfo2Only{0};
    UINT lastNameCount = 0;
    wchar_t lastName[64] = {};
    PVOID lastInstance = nullptr;
    MEMBERID lastMember = 0;
    WORD lastFlags = 0;
    DISPPARAMS* lastParams = nullptr;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // ITypeInfo
    HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** attributes) override;
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** comp) override;
    HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** function) override;
    HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC** variable) override;
    HRESULT STDMETHODCALLTYPE GetNames(MEMBERID id, BSTR* names, UINT max, UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* type) override;
    HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* flags) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(PVOID instance, MEMBERID id, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;
    HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* context,
                                               BSTR* helpFile) override;
    HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID id, INVOKEKIND kind, BSTR* dll, BSTR* name, WORD* ordinal) override;
    HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE type, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID id, INVOKEKIND kind, PVOID* address) override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, PVOID* object) override;
    HRESULT STDMETHODCALLTYPE GetMops(MEMBERID id, BSTR* mops) override;
    HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** library, UINT* index) override;
    void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* attributes) override;
    void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* function) override;
    void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* variable) override;
    // ITypeInfo2: present so that the interface is real; the holder must never call these.
    HRESULT STDMETHODCALLTYPE GetTypeKind(TYPEKIND* kind) override;
    HRESULT STDMETHODCALLTYPE GetTypeFlags(ULONG* flags) override;
    HRESULT STDMETHODCALLTYPE GetFuncIndexOfMemId(MEMBERID id, INVOKEKIND kind, UINT* index) override;
    HRESULT STDMETHODCALLTYPE GetVarIndexOfMemId(MEMBERID id, UINT* index) override;
    HRESULT STDMETHODCALLTYPE GetCustData(REFGUID guid, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetFuncCustData(UINT index, REFGUID guid, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetParamCustData(UINT function, UINT param, REFGUID guid, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetVarCustData(UINT index, REFGUID guid, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetImplTypeCustData(UINT index, REFGUID guid, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetDocumentation2(MEMBERID id, LCID locale, BSTR* help, DWORD* context,
                                                BSTR* dll) override;
    HRESULT STDMETHODCALLTYPE GetAllCustData(CUSTDATA* data) override;
    HRESULT STDMETHODCALLTYPE GetAllFuncCustData(UINT index, CUSTDATA* data) override;
    HRESULT STDMETHODCALLTYPE GetAllParamCustData(UINT function, UINT param, CUSTDATA* data) override;
    HRESULT STDMETHODCALLTYPE GetAllVarCustData(UINT index, CUSTDATA* data) override;
    HRESULT STDMETHODCALLTYPE GetAllImplTypeCustData(UINT index, CUSTDATA* data) override;

    // Outstanding TYPEATTR and FUNCDESC blocks: 0 when every one was given back.
    int OutstandingDescriptions() const;

private:
    const FakeFunction* ById(MEMBERID id) const;
    HRESULT TypeInfo2Only();

    std::vector<FakeFunction> functions_;
};
