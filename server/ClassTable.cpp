#include "server/ClassTable.h"

#include <Morvaleth.h>

#include "registrar/RunRegistrationScript.h"
#include "server/CachedClassFactory.h"
#include "server/ValidateInstance.h"

namespace {

const UINT kRegistrationScript = 102;

HRESULT RegisterValidate(BOOL doRegister)
{
    return RunRegistrationScript(kRegistrationScript, doRegister, nullptr);
}

const char* NoDescription() { return nullptr; }
const CategoryEntry* NoCategories() { return nullptr; }
void NothingToStartOrStop(bool) {}

}  // namespace

ClassEntry ClassTable[] = {
    {&CLSID_Validate, RegisterValidate, CreateClassFactory, CreateValidateInstance, nullptr, NoDescription,
     NoCategories, NothingToStartOrStop},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};
