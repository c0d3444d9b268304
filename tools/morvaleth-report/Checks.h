#pragma once
#include <Morvaleth.h>

#include <string>
#include <vector>

// One answer of the component, however it was called.
struct Answer {
    const wchar_t* check;
    bool isText;
    HRESULT result;
    bool flag;
    std::wstring text;
    VARIANT_BOOL rawFlag;  // the 16 bits as written: 1 or 0, never -1
    bool textWasNull;
};

// The 26 checks in the interface's order.
const std::vector<const wchar_t*>& CheckNames();
bool IsTextCheck(const wchar_t* name);

// Calls every check through the vtable of IValidate.
std::vector<Answer> CallEarlyBound(IValidate* object);
// Calls every check by name through IDispatch, as scripts do.
std::vector<Answer> CallLateBound(IDispatch* object);
