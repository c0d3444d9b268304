#include <windows.h>

#include "dll/LibraryApp.h"

namespace {
LibraryApp g_app;
}

// The C runtime has built the static data by the time it calls us, as the framework would.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        g_app.SetInstance(instance);
        if (!g_app.InitInstance()) {
            g_app.ExitInstance();
            return FALSE;
        }
        break;
    case DLL_PROCESS_DETACH:
        g_app.ProcessDetach(reserved);
        break;
    }
    return TRUE;
}
