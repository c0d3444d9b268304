#pragma once
#include <windows.h>

// The keys that a register pass created, as paths beneath its root, so that a failed root block
// can remove exactly what it made, whatever its marks make the unregister pass spare.
class CreatedKeys {
public:
    CreatedKeys() = default;
    ~CreatedKeys();
    CreatedKeys(const CreatedKeys&) = delete;
    CreatedKeys& operator=(const CreatedKeys&) = delete;

    HRESULT Add(LPCSTR path);
    // Removes the keys that are still there, newest (and so deepest) first, then forgets them.
    void RemoveAll(HKEY root);
    void Clear();
    UINT Count() const { return count_; }

private:
    LPSTR* paths_ = nullptr;
    UINT count_ = 0;
    UINT room_ = 0;
};
