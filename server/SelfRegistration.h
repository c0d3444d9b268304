#pragma once
#include <windows.h>
#include <oaidl.h>

#include "server/ServerModule.h"

// Writes the class entries of the module's class table (without a filter every row that has no
// description; with one, the row of `filter`), their component categories and, when asked, the
// type library carried in the module's file.
HRESULT RegisterServer(ServerModule* module, BOOL registerTypeLib, const CLSID* filter);
// Removes them again: S_OK when nothing of the registration is left (also when it was never
// there), else the class's refusal or SELFREG_E_TYPELIB.
HRESULT UnregisterServer(ServerModule* module, BOOL unregisterTypeLib, const CLSID* filter);
HRESULT RegisterClassCategories(REFCLSID clsid, const CategoryEntry* table, BOOL doRegister);

// The type library of the module's file, or else of the ".tlb" file of the same name beside it.
HRESULT LoadModuleTypeLib(ServerModule* module, BSTR* path, ITypeLib** typeLib);
HRESULT RegisterModuleTypeLib(ServerModule* module);
// The load step's failure, SELFREG_E_TYPELIB when something of the registration is left, or S_OK.
HRESULT UnregisterModuleTypeLib(ServerModule* module);
// The ".tlb" file beside a module: the extension (from the last dot anywhere in the path) or the
// end of the path becomes ".tlb". False when the result does not fit.
bool ReplaceExtensionWithTlb(wchar_t (&path)[MAX_PATH]);
// Characters up to and including the last backslash, slash or colon; 0 when there is none.
int DirectoryLength(const wchar_t* path);
