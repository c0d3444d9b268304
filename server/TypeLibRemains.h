#pragma once
#include <windows.h>
#include <oaidl.h>

// What the platform's type library unregistration may leave behind: the interface keys when the
// type library's own keys were already gone (it then stops early), and FLAGS, HELPDIR or empty
// keys that it was refused to remove. Removes what it may of the registration of `typeLib` for
// this process's platform and answers S_OK when nothing of it is left, SELFREG_E_TYPELIB when
// something is. What another platform's registration of the same library uses is kept.
HRESULT RemoveTypeLibRemains(ITypeLib* typeLib, const TLIBATTR& attributes);
