#include "registrar/CreatedKeys.h"

#include <objbase.h>

CreatedKeys::~CreatedKeys()
{
    Clear();
    CoTaskMemFree(paths_);
}

HRESULT CreatedKeys::Add(LPCSTR path) { return Record('K', path, ""); }

HRESULT CreatedKeys::AddValue(LPCSTR keyPath, LPCSTR valueName)
{
    return Record('V', keyPath, valueName != nullptr ? valueName : "");
}

HRESULT CreatedKeys::Record(char kind, LPCSTR path, LPCSTR valueName)
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
    int pathSize = lstrlenA(path) + 1;
    int nameSize = lstrlenA(valueName) + 1;
    LPSTR copy = static_cast<LPSTR>(CoTaskMemAlloc(1 + pathSize + nameSize));
    if (copy == nullptr)
        return E_OUTOFMEMORY;
    copy[0] = kind;
    lstrcpynA(copy + 1, path, pathSize);
    lstrcpynA(copy + 1 + pathSize, valueName, nameSize);
    paths_[count_++] = copy;
    return S_OK;
}

void CreatedKeys::RemoveAll(HKEY root)
{
    // A key made by the pass has only subkeys made after it, so they go first.
    for (UINT i = count_; i-- > 0;) {
        LPCSTR path = paths_[i] + 1;
        if (paths_[i][0] == 'K') {
            RegDeleteKeyA(root, path);
            continue;
        }
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            LPCSTR name = path + lstrlenA(path) + 1;
            RegDeleteValueA(key, name[0] != '\0' ? name : nullptr);
            RegCloseKey(key);
        }
    }
    Clear();
}

void CreatedKeys::Clear()
{
    for (UINT i = 0; i < count_; ++i)
        CoTaskMemFree(paths_[i]);
    count_ = 0;
}
