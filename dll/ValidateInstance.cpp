#include "dll/ValidateInstance.h"

#include <new>

#include "object/Validate.h"
#include "object/ValidateTypeInfo.h"

HRESULT CreateValidateInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    Validate* object = nullptr;
    try {
        object = new (std::nothrow) Validate();
    } catch (...) {
        object = nullptr;
    }
    if (object == nullptr)
        return E_OUTOFMEMORY;
    HRESULT result = object->QueryInterface(iid, out);
    if (result != S_OK) {
        Validate::Destroy(object);  // gives the module lock back
        return result;
    }
    // In the creator's activation context, which may find a library that is not registered.
    ValidateTypeInfo().LoadWithinActivationContext();
    return result;
}
