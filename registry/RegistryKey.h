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
    // Removes the subkey `name` beneath the held key with all its subkeys.
    LONG DeleteTree(LPCSTR name);

    HKEY Handle() const { return key_; }

private:
    LONG Hold(HKEY opened);

    HKEY key_ = nullptr;
};
