#include "object/CheckResult.h"

#include <cstring>
#include <new>

HRESULT WriteFlag(VARIANT_BOOL* out, bool value)
{
    if (out == nullptr)
        return E_POINTER;
    // Callers may compare with 1; VARIANT_TRUE would not match.
    *out = value ? 1 : 0;
    return S_OK;
}

HRESULT WriteText(BSTR* out, const char* text)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    const int length = static_cast<int>(std::strlen(text));
    // An ANSI character never becomes more than one UTF-16 unit; one more keeps the buffer non-empty.
    wchar_t* wide = new (std::nothrow) wchar_t[length + 1];
    if (wide == nullptr)
        return E_OUTOFMEMORY;
    int converted = length == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, text, length, wide, length + 1);
    *out = SysAllocStringLen(wide, static_cast<UINT>(converted));
    delete[] wide;
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}
