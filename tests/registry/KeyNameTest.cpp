#include "registry/KeyName.h"

#include <gtest/gtest.h>

namespace {

struct Names {
    const wchar_t* first;
    const wchar_t* second;
};

// The journal keeps a key's stored spelling by this comparison; it must agree with Windows's own
// ordinal comparison without case, which it stands in for where Windows lacks it (XP, 2003).
TEST(KeyName, AgreesWithTheSystemsOrdinalComparisonWithoutCase)
{
    typedef int(WINAPI * Ordinal)(LPCWCH, int, LPCWCH, int, BOOL);
    Ordinal system = reinterpret_cast<Ordinal>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CompareStringOrdinal")));
    ASSERT_NE(nullptr, system) << "the host's kernel32 lacks CompareStringOrdinal";
    const Names cases[] = {
        {L"CLSID", L"clsid"},
        {L"Interface", L"INTERFACE"},
        {L"TypeLib", L"TypeLi"},               // a prefix
        {L"", L""},
        {L"", L"x"},
        {L"a[", L"A{"},                        // neighbours of the letters that are no letters
        {L"@Z", L"`z"},
        {L"\u00e4rger", L"\u00c4RGER"},        // Latin-1
        {L"stra\u00dfe", L"STRASSE"},          // no expansion: sharp s is one unit
        {L"\u00ff", L"\u0178"},                // y diaeresis upper-cases outside Latin-1
        {L"\u0131", L"I"},                     // dotless i: not I ordinally
        {L"i", L"\u0130"},                     // dotted capital I: not i ordinally
        {L"\u03c3\u03c2", L"\u03a3\u03a3"},    // Greek sigma, both forms
        {L"\u041c\u043e\u0440", L"\u041c\u041e\u0420"},  // Cyrillic
        {L"\u00b5", L"\u039c"},                // micro sign against capital mu
        {L"\uff41", L"\uff21"},                // full-width a
        {L"\u01c5", L"\u01c4"},                // title-case digraph
        {L"\U00010428", L"\U00010400"},      // a Deseret pair: units, not code points
        {L"\u6f22\u5b57", L"\u6f22\u5b57"},
    };
    for (const Names& names : cases) {
        bool expected = system(names.first, -1, names.second, -1, TRUE) == CSTR_EQUAL;
        EXPECT_EQ(expected, SameKeyName(names.first, names.second)) << testing::PrintToString(names.first);
        EXPECT_EQ(expected, SameKeyName(names.second, names.first)) << testing::PrintToString(names.second);
    }
    EXPECT_TRUE(SameKeyName(nullptr, nullptr));
    EXPECT_FALSE(SameKeyName(L"", nullptr));
}

}  // namespace
