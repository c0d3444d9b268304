#include "registrar/OtherView.h"

#include "registry/RegistryKey.h"

namespace {

const int kTextSize = MAX_PATH;

// The default value of `path` beneath HKEY_CLASSES_ROOT in the view `view` (0: the process's own).
bool ReadDefault(LPCSTR path, REGSAM view, char (&text)[kTextSize])
{
    text[0] = '\0';
    RegistryKey key;
    if (key.Open(HKEY_CLASSES_ROOT, path, KEY_QUERY_VALUE | view) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE, size = sizeof text - 1;
    if (RegQueryValueExA(key.Handle(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    text[size < sizeof text ? size : sizeof text - 1] = '\0';
    return true;
}

}  // namespace

REGSAM OtherRegistryView()
{
#ifdef _WIN64
    return KEY_WOW64_32KEY;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
#endif
}

bool OtherViewServes(LPCSTR clsid)
{
    REGSAM other = OtherRegistryView();
    if (other == 0)
        return false;
    char path[kTextSize];
    if (lstrlenA(clsid) > 64)
        return false;
    wsprintfA(path, "CLSID\\%s\\InprocServer32", clsid);
    char theirs[kTextSize], ours[kTextSize];
    if (!ReadDefault(path, other, theirs))
        return false;
    if (!ReadDefault(path, 0, ours))
        return true;  // only the other view serves it
    return lstrcmpiA(theirs, ours) != 0;
}

bool OtherViewStillUses(HKEY parent, LPCSTR name)
{
    if (parent != HKEY_CLASSES_ROOT || OtherRegistryView() == 0 || lstrcmpiA(name, "CLSID") == 0 ||
        lstrlenA(name) > kTextSize - 8)
        return false;
    char path[kTextSize], clsid[kTextSize];
    wsprintfA(path, "%s\\CLSID", name);
    return ReadDefault(path, 0, clsid) && OtherViewServes(clsid);
}
