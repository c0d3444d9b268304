#include "registry/KeyName.h"

namespace {

// LCMapString without linguistic casing upper-cases by the file system's table, which the
// registry shares; ASCII needs no call.
WCHAR Upper(WCHAR unit)
{
    if (unit < 0x80)
        return unit >= L'a' && unit <= L'z' ? static_cast<WCHAR>(unit - (L'a' - L'A')) : unit;
    WCHAR upper = unit;
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, &unit, 1, &upper, 1) != 1)
        return unit;
    return upper;
}

}  // namespace

bool SameKeyName(LPCWSTR first, LPCWSTR second)
{
    if (first == nullptr || second == nullptr)
        return first == second;
    // The mapping is one unit for one, so names of different lengths never match.
    if (lstrlenW(first) != lstrlenW(second))
        return false;
    for (; *first != L'\0'; ++first, ++second) {
        if (*first != *second && Upper(*first) != Upper(*second))
            return false;
    }
    return true;
}
