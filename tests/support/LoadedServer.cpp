#include "support/LoadedServer.h"

#include <Morvaleth.h>

#include "support/Paths.h"

namespace {

template <typename Function>
Function Export(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

LoadedServer::LoadedServer() : LoadedServer(BesideExecutable("Morvaleth.DLL")) {}

LoadedServer::LoadedServer(const std::string& path)
    : handle(LoadLibraryA(path.c_str())),
      canUnloadNow(Export<PlainExport>(handle, "DllCanUnloadNow")),
      getClassObject(Export<GetClassObjectExport>(handle, "DllGetClassObject")),
      registerServer(Export<PlainExport>(handle, "DllRegisterServer")),
      unregisterServer(Export<PlainExport>(handle, "DllUnregisterServer"))
{
}

LoadedServer::~LoadedServer()
{
    if (handle)
        FreeLibrary(handle);
}

HRESULT LoadedServer::CreateValidate(REFIID iid, void** out) const
{
    if (getClassObject == nullptr)
        return E_UNEXPECTED;
    IClassFactory* factory = nullptr;
    HRESULT result = getClassObject(CLSID_Validate, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(result))
        return result;
    result = factory->CreateInstance(nullptr, iid, out);
    factory->Release();
    return result;
}
