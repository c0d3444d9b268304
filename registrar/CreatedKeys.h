#pragma once
#include <windows.h>

// The keys and values that a register pass created, as paths beneath its root, so that a failed
// root block can remove exactly what it made, whatever its marks make the unregister pass spare.
class CreatedKeys {
public:
    CreatedKeys() = default;
    ~CreatedKeys();
    CreatedKeys(const CreatedKeys&) = delete;
    CreatedKeys& operator=(const CreatedKeys&) = delete;

    HRESULT Add(LPCSTR path);
    // A value that did not exist before the pass wrote it (a null name: the key's default value).
    HRESULT AddValue(LPCSTR keyPath, LPCSTR valueName);
    // Removes what is still there, newest (and so deepest) first, then forgets it.
    void RemoveAll(HKEY root);
    void Clear();
    UINT Count() const { return count_; }

private:
    HRESULT Record(char kind, LPCSTR path, LPCSTR valueName);

    // Each entry: a kind byte ('K' key, 'V' value), the path, NUL, and for a value its name, NUL.
    LPSTR* paths_ = nullptr;
    UINT count_ = 0;
    UINT room_ = 0;
};
