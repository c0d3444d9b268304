#pragma once
#include <windows.h>

// Deleting a key of the other registry view. RegDeleteKeyA always works in the caller's own view;
// RegDeleteKeyExA takes the view but is missing from 32-bit Windows XP, so it is found at run time.
typedef LONG(WINAPI* DeleteKeyExFunction)(HKEY parent, LPCSTR name, REGSAM view, DWORD reserved);

// advapi32's RegDeleteKeyExA, or null where Windows lacks it.
DeleteKeyExFunction PlatformDeleteKeyEx();

// Removes the childless subkey `name` of `parent` in `view` (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY;
// other access bits are ignored). Without RegDeleteKeyExA the process has one view only (Windows
// documents the call for every 64-bit edition and Server 2003 SP1), so RegDeleteKeyA reaches it;
// should a process with two views lack it after all, nothing is deleted in the wrong one.
LONG DeleteKeyInView(HKEY parent, LPCSTR name, REGSAM view, DeleteKeyExFunction deleteKeyEx);
inline LONG DeleteKeyInView(HKEY parent, LPCSTR name, REGSAM view)
{
    return DeleteKeyInView(parent, name, view, PlatformDeleteKeyEx());
}
