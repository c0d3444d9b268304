// The 26 checks. Each makes the library's module context current before any other work and
// restores the caller's on every way out, writes one result and returns S_OK; a null result
// location is refused with E_POINTER, and a text that cannot be allocated with E_OUTOFMEMORY.
#include "checks/CheckCatalog.h"
#include "checks/CheckResult.h"
#include "checks/ComponentProbes.h"
#include "checks/ProductQueries.h"
#include "checks/SystemState.h"
#include "object/ModuleContext.h"
#include "object/Validate.h"

namespace {

HRESULT AnswerFlag(VARIANT_BOOL* out, bool (*answer)())
{
    ModuleContextScope scope;
    if (out == nullptr)
        return E_POINTER;
    return WriteFlag(out, answer());
}

HRESULT AnswerText(BSTR* out, void (*compose)(char (&)[kCheckTextSize]))
{
    ModuleContextScope scope;
    if (out == nullptr)
        return E_POINTER;
    char text[kCheckTextSize];
    compose(text);
    return WriteText(out, text);
}

}  // namespace

HRESULT STDMETHODCALLTYPE Validate::GetVersion(BSTR* val) { return AnswerText(val, ComposeEdition); }
HRESULT STDMETHODCALLTYPE Validate::HasDotNetFramework2(VARIANT_BOOL* bFound)
{
    return AnswerFlag(bFound, ProbeDotNetFramework2);
}
HRESULT STDMETHODCALLTYPE Validate::HasDotNetFramework3(VARIANT_BOOL* bFound)
{
    return AnswerFlag(bFound, ProbeDotNetFramework3);
}
HRESULT STDMETHODCALLTYPE Validate::HasMDAC28(VARIANT_BOOL* bFound) { return AnswerFlag(bFound, ProbeMdac28); }
HRESULT STDMETHODCALLTYPE Validate::HasIIS(VARIANT_BOOL* bFound) { return AnswerFlag(bFound, ProbeIis); }
HRESULT STDMETHODCALLTYPE Validate::HasBITS(VARIANT_BOOL* bFound) { return AnswerFlag(bFound, ProbeBits); }
HRESULT STDMETHODCALLTYPE Validate::IsValidServer(VARIANT_BOOL* bValid) { return AnswerFlag(bValid, ServerRole); }
HRESULT STDMETHODCALLTYPE Validate::IsValidConsole(VARIANT_BOOL* bValid) { return AnswerFlag(bValid, ConsoleRole); }
HRESULT STDMETHODCALLTYPE Validate::GetServicePack(BSTR* val) { return AnswerText(val, ComposeServicePack); }
HRESULT STDMETHODCALLTYPE Validate::HasMaxPhyMem(VARIANT_BOOL* bValid)
{
    return AnswerFlag(bValid, MemoryCheck<MemoryThreshold::Max>);
}
HRESULT STDMETHODCALLTYPE Validate::IsWindowsDriveNTFS(VARIANT_BOOL* bValid)
{
    return AnswerFlag(bValid, WindowsDriveNtfs);
}
HRESULT STDMETHODCALLTYPE Validate::HasDiskSpace(VARIANT_BOOL* bValid) { return AnswerFlag(bValid, DiskSpace); }
HRESULT STDMETHODCALLTYPE Validate::NoSUS(VARIANT_BOOL* bValid) { return AnswerFlag(bValid, ProbeNoSus); }
HRESULT STDMETHODCALLTYPE Validate::HasMinPhyMem(VARIANT_BOOL* bValid)
{
    return AnswerFlag(bValid, MemoryCheck<MemoryThreshold::Min>);
}
HRESULT STDMETHODCALLTYPE Validate::IsRebootPending(VARIANT_BOOL* bPending)
{
    return AnswerFlag(bPending, ReadRebootPending);
}
HRESULT STDMETHODCALLTYPE Validate::IsAdmin(VARIANT_BOOL* bValid)
{
    return AnswerFlag(bValid, ProcessHoldsEnabledAdministrators);
}
HRESULT STDMETHODCALLTYPE Validate::HasASPNET20(VARIANT_BOOL* bValid) { return AnswerFlag(bValid, ProbeAspNet20); }
// The agent admits the same editions as the console: one body for both slots.
HRESULT STDMETHODCALLTYPE Validate::IsValidAgent(VARIANT_BOOL* bValid) { return Validate::IsValidConsole(bValid); }
HRESULT STDMETHODCALLTYPE Validate::ConsoleHasMinPhyMem(VARIANT_BOOL* bValid)
{
    return AnswerFlag(bValid, MemoryCheck<MemoryThreshold::ConsoleMin>);
}
HRESULT STDMETHODCALLTYPE Validate::ConsoleHasMaxPhyMem(VARIANT_BOOL* bValid)
{
    return AnswerFlag(bValid, MemoryCheck<MemoryThreshold::ConsoleMax>);
}
HRESULT STDMETHODCALLTYPE Validate::GetSCEPath(BSTR* val) { return AnswerText(val, QuerySceInstallDirectory); }
HRESULT STDMETHODCALLTYPE Validate::GetSCEType(BSTR* val) { return AnswerText(val, QuerySceRole); }
HRESULT STDMETHODCALLTYPE Validate::GetSCEVersion(BSTR* val) { return AnswerText(val, QuerySceVersion); }
HRESULT STDMETHODCALLTYPE Validate::GetMSMP_x64Version(BSTR* val)
{
    return AnswerText(val, ComposeManagementPackVersion);
}
HRESULT STDMETHODCALLTYPE Validate::GetAgent_x64Version(BSTR* val) { return AnswerText(val, ComposeAgentVersion); }
HRESULT STDMETHODCALLTYPE Validate::GetASC_x64Version(BSTR* val) { return AnswerText(val, ComposeAscVersion); }
