#include "checks/CheckResult.h"

#include <gtest/gtest.h>

#include <string>

#include "CheckCalls.h"
#include "FailingAllocator.h"

namespace {

TEST(CheckResult, FlagsAreOneOrZeroNeverMinusOne)
{
    VARIANT_BOOL flag = 0x5A5A;
    EXPECT_EQ(S_OK, WriteFlag(&flag, true));
    EXPECT_EQ(1, flag);
    EXPECT_NE(VARIANT_TRUE, flag);
    EXPECT_EQ(S_OK, WriteFlag(&flag, false));
    EXPECT_EQ(0, flag);
    EXPECT_EQ(E_POINTER, WriteFlag(nullptr, true));
}

TEST(CheckResult, TextsAreNewStringsThroughTheAnsiCodePage)
{
    BSTR text = nullptr;
    ASSERT_EQ(S_OK, WriteText(&text, "Windows 2003"));
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(std::wstring(L"Windows 2003"), std::wstring(text, SysStringLen(text)));
    SysFreeString(text);

    // An empty text is an allocated empty string, never null.
    text = nullptr;
    ASSERT_EQ(S_OK, WriteText(&text, ""));
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(0u, SysStringLen(text));
    SysFreeString(text);

    // 0x80 is the euro sign in code page 1252 and a control character in Latin-1.
    if (GetACP() == 1252) {
        ASSERT_EQ(S_OK, WriteText(&text, "\x80 \xE9"));
        EXPECT_EQ(std::wstring(L"\u20AC \u00E9"), std::wstring(text, SysStringLen(text)));
        SysFreeString(text);
    }

    // The longest text a check composes.
    std::string full(kCheckTextSize - 1, 'x');
    ASSERT_EQ(S_OK, WriteText(&text, full.c_str()));
    EXPECT_EQ(kCheckTextSize - 1, SysStringLen(text));
    SysFreeString(text);
}

TEST(CheckResult, NullLocationAndAllocationFailure)
{
    EXPECT_EQ(E_POINTER, WriteText(nullptr, "x"));

    BSTR text = reinterpret_cast<BSTR>(1);
    long before = NothrowAllocations::Count();
    {
        FailingNothrowAllocations failing;
        EXPECT_EQ(E_OUTOFMEMORY, WriteText(&text, "Windows 2003"));
    }
    EXPECT_EQ(before + 1, NothrowAllocations::Count()) << "the conversion buffer must come from nothrow new";
    EXPECT_EQ(nullptr, text);
}

// Every text check: out of memory gives null and E_OUTOFMEMORY, never S_OK without a string.
TEST(CheckResult, TextChecksReportAllocationFailure)
{
    for (const NamedTextCheck& check : kTextChecks) {
        ValidateRef object;
        BSTR text = reinterpret_cast<BSTR>(1);
        HRESULT result;
        {
            FailingNothrowAllocations failing;
            result = (object.get()->*check.check)(&text);
        }
        EXPECT_EQ(E_OUTOFMEMORY, result) << check.name;
        EXPECT_EQ(nullptr, text) << check.name;
    }
}

// A null result location is refused and nothing is written anywhere.
TEST(CheckResult, ChecksRefuseANullLocation)
{
    ValidateRef object;
    for (const NamedFlagCheck& check : kFlagChecks)
        EXPECT_EQ(E_POINTER, (object.get()->*check.check)(nullptr)) << check.name;
    long before = NothrowAllocations::Count();
    for (const NamedTextCheck& check : kTextChecks)
        EXPECT_EQ(E_POINTER, (object.get()->*check.check)(nullptr)) << check.name;
    EXPECT_EQ(before, NothrowAllocations::Count()) << "no text is composed for nowhere";
}

}  // namespace
