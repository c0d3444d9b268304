#pragma once
#include <windows.h>

#include "registrar/ScriptVariables.h"

// Runs the "REGISTRY" resource `resourceId` of the active module's own file: registers
// (doRegister non-zero) or unregisters what it names. "Module" stands for the module's
// short path; `extraVariables` is null or a list of further pairs ending with a null name.
HRESULT RunRegistrationScript(UINT resourceId, BOOL doRegister,
                              const ScriptVariablePair* extraVariables);
