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

private:
    HINSTANCE instance_;
};

// Stands in for the framework's unload test: the library gives the framework nothing to hold.
HRESULT LibraryCanUnloadNow();
