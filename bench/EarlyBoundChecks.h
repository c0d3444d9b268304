#pragma once
#include <Morvaleth.h>

#include <vector>

// One check as a compiled client calls it: through the IValidate vtable.
struct EarlyBoundCheck {
    const wchar_t* name;
    HRESULT(STDMETHODCALLTYPE IValidate::*flag)(VARIANT_BOOL*);
    HRESULT(STDMETHODCALLTYPE IValidate::*text)(BSTR*);
};

// The 26 checks in the interface's order, or an empty list when they no longer match the
// report client's table (CheckNames), so that a renamed check cannot go unmeasured.
const std::vector<EarlyBoundCheck>& EarlyBoundChecks();

// Calls the check once, frees its text and folds the answer into `sink`, which the caller
// keeps observable so that the compiler cannot drop the call.
inline HRESULT CallEarlyBound(IValidate* object, const EarlyBoundCheck& check, unsigned& sink)
{
    if (check.text != nullptr) {
        BSTR text = nullptr;
        HRESULT result = (object->*check.text)(&text);
        sink += SysStringLen(text);
        SysFreeString(text);
        return result;
    }
    VARIANT_BOOL flag = 0;
    HRESULT result = (object->*check.flag)(&flag);
    sink += static_cast<unsigned short>(flag);
    return result;
}
