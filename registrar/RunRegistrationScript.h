#pragma once
#include <windows.h>

#include "registrar/ScriptVariables.h"

// Runs the "REGISTRY" resource `resourceId` of the file of `module`: registers (doRegister
// non-zero) or unregisters what it names. "Module" stands for that file's short path;
// `extraVariables` is null or a list of further pairs ending with a null name. No module gives
// E_UNEXPECTED.
HRESULT RunRegistrationScript(HINSTANCE module, UINT resourceId, BOOL doRegister,
                              const ScriptVariablePair* extraVariables);
