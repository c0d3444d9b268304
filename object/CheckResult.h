#pragma once
#include <windows.h>
#include <oleauto.h>


// Writes a Flag result: 1 or 0, never VARIANT_TRUE (-1). E_POINTER for a null location.
HRESULT WriteFlag(VARIANT_BOOL* out, bool value);

// Writes a Text result: a new BSTR converted from `text` through the ANSI code page; an empty
// text gives an allocated empty string. E_POINTER for a null location; E_OUTOFMEMORY, with
// null written, when the string cannot be made.
HRESULT WriteText(BSTR* out, const char* text);
