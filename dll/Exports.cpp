// The exports of an in-process COM server; the .def file gives them their plain names.
#include <windows.h>

#include "object/ModuleContext.h"
#include "dll/LibraryApp.h"
#include "server/SelfRegistration.h"
#include "server/ServerModule.h"

extern "C" {

STDAPI DllCanUnloadNow()
{
    ModuleContextScope scope;
    HRESULT framework = LibraryCanUnloadNow();
    return framework == S_OK && TheServerModule().LockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out)
{
    return ServerModule::FindClassObject(ActiveServerModule(), clsid, iid, out);
}

STDAPI DllRegisterServer() { return RegisterServer(ActiveServerModule(), TRUE, nullptr); }

STDAPI DllUnregisterServer() { return UnregisterServer(ActiveServerModule(), TRUE, nullptr); }

}  // extern "C"
