// Morvaleth sample: an installer's early-bound check through IValidate.
// Build: see CMakeLists.txt beside this file; run after: regsvr32 Morvaleth.DLL
#include <windows.h>

#include <Morvaleth.h>
#include <cstdio>

int main()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 2;
    IValidate* validate = nullptr;
    HRESULT result = CoCreateInstance(CLSID_Validate, nullptr, CLSCTX_INPROC_SERVER, IID_IValidate,
                                      reinterpret_cast<void**>(&validate));
    if (FAILED(result)) {
        std::printf("Morvaleth.Validate is not available (0x%08lX): run regsvr32 Morvaleth.DLL\n",
                    static_cast<unsigned long>(result));
        CoUninitialize();
        return 1;
    }

    BSTR version = nullptr;
    VARIANT_BOOL server = 0, dotNet = 0, admin = 0, pending = 0;
    validate->GetVersion(&version);          // a new string: the caller frees it
    validate->IsValidServer(&server);        // flags are 1 or 0: test them for non-zero
    validate->HasDotNetFramework2(&dotNet);
    validate->IsAdmin(&admin);
    validate->IsRebootPending(&pending);

    std::printf("Windows edition: %ls\n", version ? version : L"");
    bool ready = server && dotNet && admin && !pending;
    std::printf("Server prerequisites %s\n", ready ? "met" : "not met");
    SysFreeString(version);
    validate->Release();
    CoUninitialize();
    return 0;
}
