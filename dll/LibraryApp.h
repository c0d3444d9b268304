#pragma once
#include <windows.h>

// The library's application object, driven from DllMain: start-up at process attach,
// shut-down at detach.
class LibraryApp {
public:
    explicit LibraryApp(HINSTANCE instance = nullptr) : instance_(instance) {}
    void SetInstance(HINSTANCE instance) { instance_ = instance; }
    BOOL InitInstance();
    int ExitInstance();
    // Process detach. On FreeLibrary (`reserved` null) the module shuts down in full. When the
    // process is ending (`reserved` non-null) the DLLs our cached objects come from may already be
    // gone and the system takes everything back: nothing is released and no other DLL is called.
    void ProcessDetach(LPVOID reserved);

private:
    HINSTANCE instance_;
};

// Stands in for the framework's unload test: the library gives the framework nothing to hold.
HRESULT LibraryCanUnloadNow();
