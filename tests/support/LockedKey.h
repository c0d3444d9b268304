#pragma once
#include <windows.h>

#include <vector>

// A key (created if missing) with an empty DACL: it can be neither opened nor created. The DACL
// it had is put back through a handle taken before, when the holder goes.
class LockedKey {
public:
    LockedKey(HKEY root, const char* path);
    ~LockedKey();
    LockedKey(const LockedKey&) = delete;
    LockedKey& operator=(const LockedKey&) = delete;

private:
    HKEY key_ = nullptr;
    std::vector<BYTE> original_;
};
