#pragma once
#include <windows.h>

// Owning holder of one open registry key. Value reads and writes are platform
// calls on Handle(); every result here is a Windows error code.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    LONG Open(HKEY parent, LPCSTR path, REGSAM access);
    LONG Create(HKEY parent, LPCSTR path);
    // Wide names, for keys that the ANSI code page cannot spell.
    LONG Open(HKEY parent, LPCWSTR path, REGSAM access);
    LONG Create(HKEY parent, LPCWSTR path, REGSAM access, DWORD* disposition);
    LONG Close();
    // Borrow a handle owned elsewhere (on an empty holder only); give it back with Detach.
    void Attach(HKEY handle);
    HKEY Detach();
    // Removes the subkey `name` beneath the held key with all its subkeys. A key of the other
    // view needs its flag (KEY_WOW64_32KEY or KEY_WOW64_64KEY) on every open and delete beneath
    // it: Windows does not keep a handle's view for the opens relative to it.
    LONG DeleteTree(LPCSTR name, REGSAM view = 0);

    HKEY Handle() const { return key_; }

private:
    LONG Hold(HKEY opened);

    HKEY key_ = nullptr;
};
