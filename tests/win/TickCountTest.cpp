#include "win/TickCount.h"

#include <gtest/gtest.h>

namespace {

struct Extension {
    ULONGLONG last;
    DWORD now;
    ULONGLONG expected;
};

// The high half counts the wraps of GetTickCount; an older reading than the low half is a wrap.
TEST(TickCount, CarriesTheWrapsOfTheThirtyTwoBitCount)
{
    const Extension cases[] = {
        {0, 0, 0},
        {0, 5, 5},
        {5, 5, 5},
        {0xFFFFFFF0ull, 0xFFFFFFFFu, 0xFFFFFFFFull},
        {0xFFFFFFF0ull, 3, 0x100000003ull},                  // first wrap
        {0x100000003ull, 0x10u, 0x100000010ull},             // after it
        {0x1FFFFFFFFull, 0, 0x200000000ull},                 // second wrap, to zero
        {0xFFFFFFFF00000001ull, 0, 0ull},                    // the 64-bit count itself wraps
    };
    for (const Extension& step : cases)
        EXPECT_EQ(step.expected, ExtendTickCount(step.last, step.now)) << std::hex << step.last << " then " << step.now;
}

// What the threading runtime calls through its import pointer: Windows's own count where
// kernel32 has one (Wine does), else the carried one; both never go back.
TEST(TickCount, AnswersLikeTheSystemAndNeverGoesBack)
{
    typedef ULONGLONG(WINAPI * Function)();
    Function system = reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
    ASSERT_NE(nullptr, system) << "the host's kernel32 lacks GetTickCount64";
    for (Function tested : {TickCount64, CarriedTickCount}) {
        ULONGLONG previous = tested();
        EXPECT_LE(previous, system() + 16);
        EXPECT_EQ(static_cast<DWORD>(tested()) >> 16, GetTickCount() >> 16);  // same low half, give or take
        for (int i = 0; i < 1000; ++i) {
            ULONGLONG now = tested();
            ASSERT_GE(now, previous);
            previous = now;
        }
    }
}

}  // namespace
