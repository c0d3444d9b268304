#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstddef>

// The longest text a check composes: a full 260-byte registry text and a terminator of our own.
const std::size_t kCheckTextSize = 261;

// Writes a Flag result: 1 or 0, never VARIANT_TRUE (-1). E_POINTER for a null location.
HRESULT WriteFlag(VARIANT_BOOL* out, bool value);

// Writes a Text result: a new BSTR converted from `text` through the ANSI code page; an empty
// text gives an allocated empty string. E_POINTER for a null location; E_OUTOFMEMORY, with
// null written, when the string cannot be made.
HRESULT WriteText(BSTR* out, const char* text);
