// The 26 checks, answered from the one catalog of checks. Each makes the library's module context
// current before any other work and restores the caller's on every way out, writes one result
// and returns S_OK; a null result location is refused with E_POINTER, and a text that cannot be
// allocated with E_OUTOFMEMORY. The object passes no log: nothing is recorded, nothing allocated.
#include "checks/CheckCatalog.h"
#include "object/CheckResult.h"
#include "object/ModuleContext.h"
#include "object/Validate.h"

namespace {

HRESULT AnswerFlag(VARIANT_BOOL* out, CheckIndex index)
{
    ModuleContextScope scope;
    if (out == nullptr)
        return E_POINTER;
    return WriteFlag(out, kCheckCatalog[index].flag(nullptr));
}

HRESULT AnswerText(BSTR* out, CheckIndex index)
{
    ModuleContextScope scope;
    if (out == nullptr)
        return E_POINTER;
    char text[kCheckTextSize];
    kCheckCatalog[index].text(text, nullptr);
    return WriteText(out, text);
}

}  // namespace

#define FLAG_CHECK(method, parameter)                                                                    \
    HRESULT STDMETHODCALLTYPE Validate::method(VARIANT_BOOL* parameter) { return AnswerFlag(parameter, k##method); }
#define TEXT_CHECK(method) \
    HRESULT STDMETHODCALLTYPE Validate::method(BSTR* val) { return AnswerText(val, k##method); }

TEXT_CHECK(GetVersion)
FLAG_CHECK(HasDotNetFramework2, bFound)
FLAG_CHECK(HasDotNetFramework3, bFound)
FLAG_CHECK(HasMDAC28, bFound)
FLAG_CHECK(HasIIS, bFound)
FLAG_CHECK(HasBITS, bFound)
FLAG_CHECK(IsValidServer, bValid)
FLAG_CHECK(IsValidConsole, bValid)
TEXT_CHECK(GetServicePack)
FLAG_CHECK(HasMaxPhyMem, bValid)
FLAG_CHECK(IsWindowsDriveNTFS, bValid)
FLAG_CHECK(HasDiskSpace, bValid)
FLAG_CHECK(NoSUS, bValid)
FLAG_CHECK(HasMinPhyMem, bValid)
FLAG_CHECK(IsRebootPending, bPending)
FLAG_CHECK(IsAdmin, bValid)
FLAG_CHECK(HasASPNET20, bValid)
// The agent admits the same editions as the console: the catalog gives both one body.
FLAG_CHECK(IsValidAgent, bValid)
FLAG_CHECK(ConsoleHasMinPhyMem, bValid)
FLAG_CHECK(ConsoleHasMaxPhyMem, bValid)
TEXT_CHECK(GetSCEPath)
TEXT_CHECK(GetSCEType)
TEXT_CHECK(GetSCEVersion)
TEXT_CHECK(GetMSMP_x64Version)
TEXT_CHECK(GetAgent_x64Version)
TEXT_CHECK(GetASC_x64Version)
