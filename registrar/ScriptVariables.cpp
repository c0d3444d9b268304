#include "registrar/ScriptVariables.h"

#include "win/TaskMemory.h"

namespace {
const UINT kFirstRoom = 10;

LPWSTR CopyWide(LPCWSTR text)
{
    SIZE_T bytes = (static_cast<SIZE_T>(lstrlenW(text)) + 1) * sizeof(WCHAR);
    LPWSTR copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (copy != nullptr)
        CopyMemory(copy, text, bytes);
    return copy;
}
}

ScriptVariables::~ScriptVariables()
{
    Clear();
    CoTaskMemFree(entries_);
}

HRESULT ScriptVariables::Add(LPCWSTR name, LPCWSTR value)
{
    if (name == nullptr || value == nullptr)
        return E_INVALIDARG;
    TaskMemory<WCHAR> nameCopy(CopyWide(name));
    if (nameCopy.Get() == nullptr)
        return E_OUTOFMEMORY;
    TaskMemory<WCHAR> valueCopy(CopyWide(value));
    if (valueCopy.Get() == nullptr)
        return E_OUTOFMEMORY;
    TaskMemory<Entry> entry;
    if (!entry.Allocate(1))
        return E_OUTOFMEMORY;
    if (count_ == room_) {
        UINT room = room_ == 0 ? kFirstRoom : room_ * 2;
        // The first table is allocated, not reallocated from null: Wine's malloc spy
        // miscounts CoTaskMemRealloc(NULL, n), and the tests refuse allocations through it.
        void* grown = entries_ == nullptr ? CoTaskMemAlloc(room * sizeof(Entry*))
                                          : CoTaskMemRealloc(entries_, room * sizeof(Entry*));
        if (grown == nullptr)
            return E_OUTOFMEMORY;  // the table stays as it was
        entries_ = static_cast<Entry**>(grown);
        room_ = room;
    }
    entry.Get()->name = nameCopy.Release();
    entry.Get()->value = valueCopy.Release();
    entries_[count_++] = entry.Release();
    return S_OK;
}

HRESULT ScriptVariables::Lookup(LPCSTR name, LPCWSTR* value) const
{
    if (value == nullptr)
        return E_POINTER;
    *value = nullptr;
    if (name == nullptr)
        return E_INVALIDARG;
    for (UINT i = 0; i < count_; ++i) {
        int size = lstrlenW(entries_[i]->name) * 2 + 2;
        TaskMemory<char> narrow;
        if (!narrow.Allocate(size))
            return E_OUTOFMEMORY;
        if (WideCharToMultiByte(CP_ACP, 0, entries_[i]->name, -1, narrow.Get(), size, nullptr,
                                nullptr) == 0)
            continue;
        if (lstrcmpiA(narrow.Get(), name) == 0) {
            *value = entries_[i]->value;
            return S_OK;
        }
    }
    return S_FALSE;
}

LPCWSTR ScriptVariables::Find(LPCSTR name) const
{
    LPCWSTR value = nullptr;
    Lookup(name, &value);
    return value;
}

void ScriptVariables::Clear()
{
    for (UINT i = 0; i < count_; ++i) {
        CoTaskMemFree(entries_[i]->value);
        CoTaskMemFree(entries_[i]->name);
        CoTaskMemFree(entries_[i]);
    }
    count_ = 0;
}
