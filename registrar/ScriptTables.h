#pragma once
#include <windows.h>
#include <wtypes.h>

// The fixed words of the registration script language. Every lookup compares the whole
// token without regard to case.

// The predefined root named by `token`, or null.
HKEY FindRootKey(LPCSTR token);

enum class ScriptKeyword { Delete, ForceRemove, NoRemove, Val };
bool IsKeyword(LPCSTR token, ScriptKeyword keyword);

// The variant type of a value type letter ("S", "D", "B"), or VT_EMPTY.
VARTYPE FindValueType(LPCSTR token);

// Keys that a forced removal never removes.
bool IsProtectedKeyName(LPCSTR name);
