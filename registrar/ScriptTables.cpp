#include "registrar/ScriptTables.h"

namespace {
struct RootKeyName {
    const char* name;
    HKEY root;
};

// Short names first, then the long ones.
const RootKeyName kRootKeys[] = {
    {"HKCR", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},
    {"HKLM", HKEY_LOCAL_MACHINE},
    {"HKU", HKEY_USERS},
    {"HKPD", HKEY_PERFORMANCE_DATA},
    {"HKDD", HKEY_DYN_DATA},
    {"HKCC", HKEY_CURRENT_CONFIG},
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
    {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {"HKEY_DYN_DATA", HKEY_DYN_DATA},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

// In the order of ScriptKeyword.
const char* const kKeywords[] = {"Delete", "ForceRemove", "NoRemove", "Val"};

struct ValueTypeLetter {
    const char* letter;
    VARTYPE type;
};

const ValueTypeLetter kValueTypes[] = {
    {"S", VT_BSTR},
    {"D", VT_UI4},
    {"B", VT_UI1},
};

const char* const kProtectedKeyNames[] = {"CLSID", "TYPELIB"};
}

HKEY FindRootKey(LPCSTR token)
{
    for (const RootKeyName& entry : kRootKeys)
        if (lstrcmpiA(token, entry.name) == 0)
            return entry.root;
    return nullptr;
}

bool IsKeyword(LPCSTR token, ScriptKeyword keyword)
{
    return lstrcmpiA(token, kKeywords[static_cast<int>(keyword)]) == 0;
}

VARTYPE FindValueType(LPCSTR token)
{
    for (const ValueTypeLetter& entry : kValueTypes)
        if (lstrcmpiA(token, entry.letter) == 0)
            return entry.type;
    return VT_EMPTY;
}

bool IsProtectedKeyName(LPCSTR name)
{
    for (const char* protectedName : kProtectedKeyNames)
        if (lstrcmpiA(name, protectedName) == 0)
            return true;
    return false;
}
