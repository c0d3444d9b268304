#include "checks/ModuleContext.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "CheckCalls.h"
#include "support/CountingAllocator.h"

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

ModuleState* g_stateAtAllocation = nullptr;
void RecordState(std::size_t) { g_stateAtAllocation = CurrentModuleState(); }

// The text checks allocate inside the call: the library's state was current then.
TEST_F(ModuleContext, TextChecksRunInTheLibrarysState)
{
    ValidateRef object;
    SetAllocationObserver(RecordState);
    for (const NamedTextCheck& check : kTextChecks) {
        BSTR text = nullptr;
        g_stateAtAllocation = nullptr;
        HRESULT result;
        long allocations;
        {
            AllocationWindow counting;
            result = (object.get()->*check.check)(&text);
            allocations = counting.Count();
        }
        SysFreeString(text);
        EXPECT_EQ(S_OK, result) << check.name;
        EXPECT_LT(0, allocations) << check.name;
        EXPECT_EQ(LibraryModuleState(), g_stateAtAllocation) << check.name;
    }
    SetAllocationObserver(nullptr);
}

}  // namespace
