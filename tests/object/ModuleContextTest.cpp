#include "object/ModuleContext.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "CheckCalls.h"
#include "support/CountingAllocator.h"
#include "support/ImportHook.h"

namespace {

ModuleState g_callerState = {"caller"};
ModuleState g_otherState = {"other"};

// Puts the caller's state back whatever a test does.
class ModuleContext : public testing::Test {
protected:
    ModuleContext() : saved_(SwapCurrentModuleState(&g_callerState)) {}
    ~ModuleContext() override { SwapCurrentModuleState(saved_); }

private:
    ModuleState* saved_;
};

TEST_F(ModuleContext, ScopeSwitchesAndRestores)
{
    {
        ModuleContextScope scope;
        EXPECT_EQ(LibraryModuleState(), CurrentModuleState());
        {
            ModuleContextScope inner(&g_otherState);
            EXPECT_EQ(&g_otherState, CurrentModuleState());
        }
        EXPECT_EQ(LibraryModuleState(), CurrentModuleState());
    }
    EXPECT_EQ(&g_callerState, CurrentModuleState());
}

TEST_F(ModuleContext, ScopeRestoresWhenAnExceptionLeavesIt)
{
    try {
        ModuleContextScope scope;
        ModuleContextScope inner(&g_otherState);
        throw std::runtime_error("leaves both scopes");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(&g_callerState, CurrentModuleState());
}

// The state is per thread: another thread's switch does not show here.
TEST_F(ModuleContext, StateIsPerThread)
{
    struct Probe {
        static DWORD WINAPI Run(void* seen)
        {
            *static_cast<ModuleState**>(seen) = CurrentModuleState();
            ModuleContextScope scope;
            return 0;
        }
    };
    ModuleState* seen = &g_otherState;
    HANDLE thread = CreateThread(nullptr, 0, Probe::Run, &seen, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(nullptr, seen);
    EXPECT_EQ(&g_callerState, CurrentModuleState());
}

TEST_F(ModuleContext, EveryCheckRestoresTheCallersState)
{
    ValidateRef object;
    for (const NamedFlagCheck& check : kFlagChecks) {
        VARIANT_BOOL flag = 0;
        EXPECT_EQ(S_OK, (object.get()->*check.check)(&flag)) << check.name;
        EXPECT_EQ(&g_callerState, CurrentModuleState()) << check.name;
        EXPECT_EQ(E_POINTER, (object.get()->*check.check)(nullptr)) << check.name;
        EXPECT_EQ(&g_callerState, CurrentModuleState()) << check.name;
    }
    for (const NamedTextCheck& check : kTextChecks) {
        BSTR text = nullptr;
        EXPECT_EQ(S_OK, (object.get()->*check.check)(&text)) << check.name;
        SysFreeString(text);
        EXPECT_EQ(&g_callerState, CurrentModuleState()) << check.name;
        {
            AllocationWindow failing(-1);
            HRESULT result = (object.get()->*check.check)(&text);
            failing.Close();
            EXPECT_EQ(E_OUTOFMEMORY, result) << check.name;
        }
        EXPECT_EQ(&g_callerState, CurrentModuleState()) << check.name;
    }
}

// The module state seen from inside the checks: at the platform calls they make (each check
// makes at least one of the five watched here) and at every allocation of an answer.
ModuleState* g_seen[256];
int g_seenCount = 0;
void Note()
{
    if (g_seenCount < 256)
        g_seen[g_seenCount] = CurrentModuleState();
    ++g_seenCount;
}
void NoteAllocation(std::size_t) { Note(); }

decltype(&RegOpenKeyExA) g_regOpenKeyEx;
decltype(&GetVersionExA) g_getVersionEx;
decltype(&GlobalMemoryStatus) g_globalMemoryStatus;
decltype(&GetSystemWindowsDirectoryA) g_getWindowsDirectory;
decltype(&AllocateAndInitializeSid) g_allocateAndInitializeSid;

LSTATUS WINAPI WatchedRegOpenKeyEx(HKEY key, LPCSTR path, DWORD options, REGSAM access, PHKEY out)
{
    Note();
    return g_regOpenKeyEx(key, path, options, access, out);
}
BOOL WINAPI WatchedGetVersionEx(LPOSVERSIONINFOA record)
{
    Note();
    return g_getVersionEx(record);
}
VOID WINAPI WatchedGlobalMemoryStatus(LPMEMORYSTATUS status)
{
    Note();
    g_globalMemoryStatus(status);
}
UINT WINAPI WatchedGetWindowsDirectory(LPSTR buffer, UINT size)
{
    Note();
    return g_getWindowsDirectory(buffer, size);
}
BOOL WINAPI WatchedAllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD a0, DWORD a1,
                                            DWORD a2, DWORD a3, DWORD a4, DWORD a5, DWORD a6, DWORD a7, PSID* sid)
{
    Note();
    return g_allocateAndInitializeSid(authority, count, a0, a1, a2, a3, a4, a5, a6, a7, sid);
}

template <typename Function>
void Watch(std::vector<std::unique_ptr<ImportHook>>& hooks, const char* name, Function watched, Function& original)
{
    hooks.emplace_back(new ImportHook(name, reinterpret_cast<void*>(watched)));
    original = reinterpret_cast<Function>(hooks.back()->Original());
    EXPECT_TRUE(hooks.back()->Installed()) << name;
}

// Calls one check with the watch on; the caller's state must be back afterwards.
template <typename Result>
void ExpectLibraryStateInside(const char* name, Result* out, HRESULT (STDMETHODCALLTYPE IValidate::*check)(Result*))
{
    ValidateRef object;
    g_seenCount = 0;
    {
        AllocationWindow watching;
        EXPECT_EQ(S_OK, (object.get()->*check)(out)) << name;
    }
    EXPECT_LT(0, g_seenCount) << name << ": no watched call was made";
    for (int index = 0; index < g_seenCount && index < 256; ++index)
        EXPECT_EQ(LibraryModuleState(), g_seen[index]) << name << ", call " << index;
    EXPECT_EQ(&g_callerState, CurrentModuleState()) << name;
}

TEST_F(ModuleContext, EveryCheckRunsInTheLibrarysState)
{
    std::vector<std::unique_ptr<ImportHook>> hooks;
    Watch(hooks, "RegOpenKeyExA", &WatchedRegOpenKeyEx, g_regOpenKeyEx);
    Watch(hooks, "GetVersionExA", &WatchedGetVersionEx, g_getVersionEx);
    Watch(hooks, "GlobalMemoryStatus", &WatchedGlobalMemoryStatus, g_globalMemoryStatus);
    Watch(hooks, "GetSystemWindowsDirectoryA", &WatchedGetWindowsDirectory, g_getWindowsDirectory);
    Watch(hooks, "AllocateAndInitializeSid", &WatchedAllocateAndInitializeSid, g_allocateAndInitializeSid);
    SetAllocationObserver(NoteAllocation);
    for (const NamedFlagCheck& check : kFlagChecks) {
        VARIANT_BOOL flag = 0;
        ExpectLibraryStateInside(check.name, &flag, check.check);
    }
    for (const NamedTextCheck& check : kTextChecks) {
        BSTR text = nullptr;
        ExpectLibraryStateInside(check.name, &text, check.check);
        SysFreeString(text);
    }
    SetAllocationObserver(nullptr);
}

}  // namespace
