#pragma once
#include <Morvaleth.h>

#include <string>

#include "object/Validate.h"

typedef HRESULT (STDMETHODCALLTYPE IValidate::*FlagCheck)(VARIANT_BOOL*);
typedef HRESULT (STDMETHODCALLTYPE IValidate::*TextCheck)(BSTR*);

// A Validate made as its creator makes it: new, then the caller's one reference.
class ValidateRef {
public:
    ValidateRef() : object_(new Validate) { object_->AddRef(); }
    ~ValidateRef() { object_->Release(); }
    ValidateRef(const ValidateRef&) = delete;
    ValidateRef& operator=(const ValidateRef&) = delete;
    IValidate* operator->() const { return object_; }
    IValidate* get() const { return object_; }

private:
    IValidate* object_;
};

// Calls a check on a fresh object through the vtable. A result other than S_OK, or a flag other
// than 0 or 1, or a null text, fails the test; the flag is returned as 0 or 1.
int Flag(FlagCheck check);
// The text narrowed through the ANSI code page.
std::string Text(TextCheck check);

struct NamedFlagCheck {
    const char* name;
    FlagCheck check;
};
struct NamedTextCheck {
    const char* name;
    TextCheck check;
};
extern const NamedFlagCheck kFlagChecks[18];
extern const NamedTextCheck kTextChecks[8];
