#pragma once
#include <windows.h>

#include <vector>

// A key (created if missing) with an empty DACL: it can be neither opened nor created. The DACL
// it had is put back through a handle taken before, when the holder goes.
class LockedKey {
public:
    // `view`: 0 for the process's own registry view, or KEY_WOW64_32KEY / KEY_WOW64_64KEY.
    LockedKey(HKEY root, const char* path, REGSAM view = 0);
    ~LockedKey();
    LockedKey(const LockedKey&) = delete;
    LockedKey& operator=(const LockedKey&) = delete;

private:
    HKEY key_ = nullptr;
    std::vector<BYTE> original_;
};
