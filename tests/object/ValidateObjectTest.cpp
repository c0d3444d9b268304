#include <gtest/gtest.h>

#include "CheckCalls.h"
#include "server/ServerModule.h"

namespace {

// Every check through the vtable: S_OK, a flag of 0 or 1, an allocated text.
TEST(ValidateObject, EveryCheckAnswers)
{
    for (const NamedFlagCheck& check : kFlagChecks) {
        SCOPED_TRACE(check.name);
        Flag(check.check);
    }
    for (const NamedTextCheck& check : kTextChecks) {
        SCOPED_TRACE(check.name);
        EXPECT_NE("<none>", Text(check.check));
    }
}

// What this machine answers, where it is known whatever the machine.
TEST(ValidateObject, AnswersOfThisMachine)
{
    EXPECT_EQ(Flag(&IValidate::IsValidConsole), Flag(&IValidate::IsValidAgent));
    // Memory thresholds nest.
    int max = Flag(&IValidate::HasMaxPhyMem), min = Flag(&IValidate::HasMinPhyMem);
    EXPECT_EQ(min, Flag(&IValidate::ConsoleHasMaxPhyMem));
    EXPECT_LE(max, min);
    EXPECT_LE(min, Flag(&IValidate::ConsoleHasMinPhyMem));
    OSVERSIONINFOA record = {};
    record.dwOSVersionInfoSize = sizeof record;
    ASSERT_TRUE(GetVersionExA(&record));
    EXPECT_EQ(record.szCSDVersion, Text(&IValidate::GetServicePack));
}

TEST(ValidateObject, HoldsOneModuleLockWhileItLives)
{
    LONG before = TheServerModule().LockCount();
    Validate* object = new Validate;
    EXPECT_EQ(before + 1, TheServerModule().LockCount());
    EXPECT_EQ(1u, object->AddRef());
    EXPECT_EQ(2u, object->AddRef());
    EXPECT_EQ(1u, object->Release());
    EXPECT_EQ(before + 1, TheServerModule().LockCount());
    EXPECT_EQ(0u, object->Release());
    EXPECT_EQ(before, TheServerModule().LockCount());
}

}  // namespace
