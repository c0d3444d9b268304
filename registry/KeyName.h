#pragma once
#include <windows.h>

// Whether two key names are the same to the registry: equal after each UTF-16 unit is upper-cased
// by the system's own table, whatever the locale (CompareStringOrdinal with case ignored does
// this, but only from Vista on).
bool SameKeyName(LPCWSTR first, LPCWSTR second);
