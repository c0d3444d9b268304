#pragma once
#include <Morvaleth.h>

#include "server/InterfaceTable.h"
#include "win/ComPtr.h"

// The one creatable class: its interface pointer is its own address and answers for
// IUnknown, IDispatch and IValidate alike.
class Validate final : public IValidate {
public:
    static const InterfaceTable kInterfaces[];

    // All members zero, and one module lock for as long as the object lives; Destroy gives it
    // back after the page-host objects are released and the memory is freed.
    Validate();
    static void Destroy(Validate* object);
    Validate(const Validate&) = delete;
    Validate& operator=(const Validate&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch, handed to the process-wide type information of IValidate.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

    // Page hooks.
    HRESULT STDMETHODCALLTYPE OnStartPage(IUnknown* piUnk) override;
    HRESULT STDMETHODCALLTYPE OnEndPage() override;

    // The 26 checks, in slot order.
    HRESULT STDMETHODCALLTYPE GetVersion(BSTR* val) override;
    HRESULT STDMETHODCALLTYPE HasDotNetFramework2(VARIANT_BOOL* bFound) override;
    HRESULT STDMETHODCALLTYPE HasDotNetFramework3(VARIANT_BOOL* bFound) override;
    HRESULT STDMETHODCALLTYPE HasMDAC28(VARIANT_BOOL* bFound) override;
    HRESULT STDMETHODCALLTYPE HasIIS(VARIANT_BOOL* bFound) override;
    HRESULT STDMETHODCALLTYPE HasBITS(VARIANT_BOOL* bFound) override;
    HRESULT STDMETHODCALLTYPE IsValidServer(VARIANT_BOOL* bValid) override;
    HRESULT STDMETHODCALLTYPE IsValidConsole(VARIANT_BOOL* bValid) override;
    HRESULT STDMETHODCALLTYPE GetServicePack(BSTR* val) override;
    HRESULT STDMETHODCALLTYPE HasMaxPhyMem(VARIANT_BOOL* bValid) override;
    HRESULT STDMETHODCALLTYPE IsWindowsDriveNTFS(VARIANT_BOOL* bValid) override;
    HRESULT STDMETHODCALLTYPE HasDiskSpace(VARIANT_BOOL* bValid) override;
    HRESULT STDMETHODCALLTYPE NoSUS(VARIANT_BOOL* bValid) override;
    HRESULT STDMETHODCALLTYPE HasMinPhyMem(VARIANT_BOOL* bValid) override;
    HRESULT STDMETHODCALLTYPE IsRebootPending(VARIANT_BOOL* bPending) override;
    HRESULT STDMETHODCALLTYPE IsAdmin(VARIANT_BOOL* bValid) override;
    HRESULT STDMETHODCALLTYPE HasASPNET20(VARIANT_BOOL* bValid) override;
    HRESULT STDMETHODCALLTYPE IsValidAgent(VARIANT_BOOL* bValid) override;
    HRESULT STDMETHODCALLTYPE ConsoleHasMinPhyMem(VARIANT_BOOL* bValid) override;
    HRESULT STDMETHODCALLTYPE ConsoleHasMaxPhyMem(VARIANT_BOOL* bValid) override;
    HRESULT STDMETHODCALLTYPE GetSCEPath(BSTR* val) override;
    HRESULT STDMETHODCALLTYPE GetSCEType(BSTR* val) override;
    HRESULT STDMETHODCALLTYPE GetSCEVersion(BSTR* val) override;
    HRESULT STDMETHODCALLTYPE GetMSMP_x64Version(BSTR* val) override;
    HRESULT STDMETHODCALLTYPE GetAgent_x64Version(BSTR* val) override;
    HRESULT STDMETHODCALLTYPE GetASC_x64Version(BSTR* val) override;

private:
    ~Validate();

    LONG references_ = 0;
    // The page host's objects; destroyed in reverse order: application first, request last.
    ComPtr<IUnknown> request_;
    ComPtr<IUnknown> response_;
    ComPtr<IUnknown> session_;
    ComPtr<IUnknown> server_;
    ComPtr<IUnknown> application_;
    BOOL pageStarted_ = FALSE;
};
