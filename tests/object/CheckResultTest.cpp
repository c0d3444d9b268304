#include "object/CheckResult.h"

#include "checks/CheckText.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "CheckCalls.h"
#include "support/CountingAllocator.h"

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
    HRESULT result;
    long allocations;
    {
        AllocationWindow failing(-1);
        result = WriteText(&text, "Windows 2003");
        allocations = failing.Count();
    }
    EXPECT_EQ(E_OUTOFMEMORY, result);
    EXPECT_EQ(1, allocations) << "the conversion buffer must come from the product's allocator";
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
            AllocationWindow failing(-1);
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
    long allocations;
    HRESULT results[32];
    {
        AllocationWindow counting;
        for (size_t i = 0; i < std::size(kTextChecks); ++i)
            results[i] = (object.get()->*kTextChecks[i].check)(nullptr);
        allocations = counting.Count();
    }
    for (size_t i = 0; i < std::size(kTextChecks); ++i)
        EXPECT_EQ(E_POINTER, results[i]) << kTextChecks[i].name;
    EXPECT_EQ(0, allocations) << "no text is composed for nowhere";
}

}  // namespace
