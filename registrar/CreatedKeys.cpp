#include "registrar/CreatedKeys.h"

#include <objbase.h>

CreatedKeys::~CreatedKeys()
{
    Clear();
    CoTaskMemFree(paths_);
}

HRESULT CreatedKeys::Add(LPCSTR path)
{
    if (count_ == room_) {
        UINT room = room_ == 0 ? 16 : room_ * 2;
        LPSTR* grown = static_cast<LPSTR*>(CoTaskMemAlloc(room * sizeof(LPSTR)));
        if (grown == nullptr)
            return E_OUTOFMEMORY;
        for (UINT i = 0; i < count_; ++i)
            grown[i] = paths_[i];
        CoTaskMemFree(paths_);
        paths_ = grown;
        room_ = room;
    }
    int size = lstrlenA(path) + 1;
    LPSTR copy = static_cast<LPSTR>(CoTaskMemAlloc(size));
    if (copy == nullptr)
        return E_OUTOFMEMORY;
    lstrcpynA(copy, path, size);
    paths_[count_++] = copy;
    return S_OK;
}

void CreatedKeys::RemoveAll(HKEY root)
{
    // A key made by the pass has only subkeys made after it, so they go first.
    for (UINT i = count_; i-- > 0;)
        RegDeleteKeyA(root, paths_[i]);
    Clear();
}

void CreatedKeys::Clear()
{
    for (UINT i = 0; i < count_; ++i)
        CoTaskMemFree(paths_[i]);
    count_ = 0;
}
