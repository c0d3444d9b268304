#include "registry/RegistryKey.h"

#include "registry/KeyInView.h"

namespace {
const DWORD kSubkeyNameSize = 256;
}

RegistryKey::~RegistryKey() { Close(); }

LONG RegistryKey::Hold(HKEY opened)
{
    // The old key goes only once the new one is safely open.
    LONG closed = Close();
    key_ = opened;
    return closed;
}

LONG RegistryKey::Open(HKEY parent, LPCSTR path, REGSAM access)
{
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(parent, path, 0, access, &opened);
    if (result != ERROR_SUCCESS)
        return result;
    return Hold(opened);
}

LONG RegistryKey::Create(HKEY parent, LPCSTR path)
{
    HKEY created = nullptr;
    DWORD disposition = 0;
    LONG result = RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &created, &disposition);
    if (result != ERROR_SUCCESS)
        return result;
    return Hold(created);
}

LONG RegistryKey::Open(HKEY parent, LPCWSTR path, REGSAM access)
{
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExW(parent, path, 0, access, &opened);
    if (result != ERROR_SUCCESS)
        return result;
    return Hold(opened);
}

LONG RegistryKey::Create(HKEY parent, LPCWSTR path, REGSAM access, DWORD* disposition)
{
    HKEY created = nullptr;
    LONG result = RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                  &created, disposition);
    if (result != ERROR_SUCCESS)
        return result;
    return Hold(created);
}

LONG RegistryKey::Close()
{
    if (key_ == nullptr)
        return ERROR_SUCCESS;
    HKEY held = key_;
    key_ = nullptr;
    return RegCloseKey(held);
}

void RegistryKey::Attach(HKEY handle)
{
    Close();  // never lose a key of our own under a lent one
    key_ = handle;
}

HKEY RegistryKey::Detach()
{
    HKEY lent = key_;
    key_ = nullptr;
    return lent;
}

LONG RegistryKey::DeleteTree(LPCSTR name, REGSAM view)
{
    view &= KEY_WOW64_RES;
    RegistryKey subkey;
    LONG result = subkey.Open(key_, name, KEY_READ | KEY_WRITE | view);
    if (result != ERROR_SUCCESS)
        return result;

    char child[kSubkeyNameSize];
    DWORD length = kSubkeyNameSize;
    FILETIME written;
    // Each removal moves the next subkey to index 0.
    while (RegEnumKeyExA(subkey.Handle(), 0, child, &length, nullptr, nullptr, nullptr,
                         &written) == ERROR_SUCCESS) {
        result = subkey.DeleteTree(child, view);
        if (result != ERROR_SUCCESS)
            return result;
        length = kSubkeyNameSize;
    }
    subkey.Close();
    return DeleteKeyInView(key_, name, view);
}
