#pragma once
#include <windows.h>

#include "registrar/ScriptVariables.h"

// Substitutes every %NAME% of the script text. On success *expanded is a NUL-terminated
// copy in the task allocator that the caller frees with CoTaskMemFree; on failure it is null.
HRESULT ExpandScript(LPCSTR text, const ScriptVariables& variables, LPSTR* expanded);
