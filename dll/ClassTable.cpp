#include "dll/ClassTable.h"

#include <Morvaleth.h>

#include "dll/ValidateInstance.h"
#include "registrar/RunRegistrationScript.h"
#include "server/CachedClassFactory.h"

namespace {

const UINT kRegistrationScript = 102;

HRESULT RegisterValidate(BOOL doRegister)
{
    ServerModule* module = ActiveServerModule();
    if (module == nullptr)
        return E_UNEXPECTED;
    return RunRegistrationScript(module->Instance(), kRegistrationScript, doRegister, nullptr);
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
