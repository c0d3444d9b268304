#include "registry/KeyInView.h"

namespace {

// Whether the process sees two registry views: a 64-bit process, or a 32-bit one under WoW64.
bool TwoViews()
{
#ifdef _WIN64
    return true;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

}  // namespace

DeleteKeyExFunction PlatformDeleteKeyEx()
{
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    return advapi == nullptr ? nullptr
                             : reinterpret_cast<DeleteKeyExFunction>(
                                   reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExA")));
}

LONG DeleteKeyInView(HKEY parent, LPCSTR name, REGSAM view, DeleteKeyExFunction deleteKeyEx)
{
    view &= KEY_WOW64_RES;
    if (view == 0)
        return RegDeleteKeyA(parent, name);
    if (deleteKeyEx != nullptr)
        return deleteKeyEx(parent, name, view, 0);
    return TwoViews() ? ERROR_CALL_NOT_IMPLEMENTED : RegDeleteKeyA(parent, name);
}
