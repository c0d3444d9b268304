#pragma once
#include <windows.h>
#include <unknwn.h>

// The instance creator of the Validate class: no aggregation, one new object per call.
HRESULT CreateValidateInstance(IUnknown* outer, REFIID iid, void** out);
