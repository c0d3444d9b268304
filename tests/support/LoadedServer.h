#pragma once
#include <windows.h>

#include <string>

// A copy of the built server DLL loaded into the test process with its four exports; freed when
// the holder goes. The exports are null when the DLL or the entry point is missing.
class LoadedServer {
public:
    typedef HRESULT(STDAPICALLTYPE* PlainExport)();
    typedef HRESULT(STDAPICALLTYPE* GetClassObjectExport)(REFCLSID, REFIID, void**);

    // Morvaleth.DLL beside the test executable, or the file at `path`.
    LoadedServer();
    explicit LoadedServer(const std::string& path);
    ~LoadedServer();
    LoadedServer(const LoadedServer&) = delete;
    LoadedServer& operator=(const LoadedServer&) = delete;

    bool Complete() const { return canUnloadNow && getClassObject && registerServer && unregisterServer; }
    // A new Validate through the DLL's class object, which is released again.
    HRESULT CreateValidate(REFIID iid, void** out) const;

    HMODULE handle = nullptr;
    PlainExport canUnloadNow = nullptr;
    GetClassObjectExport getClassObject = nullptr;
    PlainExport registerServer = nullptr;
    PlainExport unregisterServer = nullptr;
};
