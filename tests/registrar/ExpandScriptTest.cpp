// Script variables and their substitution.
#include <gtest/gtest.h>
#include <objbase.h>

#include <string>

#include "registrar/ExpandScript.h"
#include "registrar/ScriptVariables.h"

namespace {

TEST(ScriptVariables, FirstEntryOfANameWinsWithoutRegardToCase)
{
    ScriptVariables variables;
    ASSERT_EQ(S_OK, variables.Add(L"Module", L"first"));
    ASSERT_EQ(S_OK, variables.Add(L"Other", L"other"));
    ASSERT_EQ(S_OK, variables.Add(L"MODULE", L"second"));
    EXPECT_EQ(3u, variables.Count());
    EXPECT_STREQ(L"first", variables.Find("module"));
    EXPECT_STREQ(L"other", variables.Find("OTHER"));
    EXPECT_EQ(nullptr, variables.Find("Modul"));
    EXPECT_EQ(E_INVALIDARG, variables.Add(nullptr, L"x"));
    EXPECT_EQ(E_INVALIDARG, variables.Add(L"x", nullptr));
}

TEST(ScriptVariables, GrowsPastItsFirstRoomAndClears)
{
    ScriptVariables variables;
    for (int i = 0; i < 45; ++i)
        ASSERT_EQ(S_OK, variables.Add((L"V" + std::to_wstring(i)).c_str(), std::to_wstring(i * 7).c_str()));
    for (int i = 0; i < 45; ++i)
        EXPECT_EQ(std::to_wstring(i * 7), variables.Find(("v" + std::to_string(i)).c_str()));
    variables.Clear();
    EXPECT_EQ(0u, variables.Count());
    EXPECT_EQ(nullptr, variables.Find("V0"));
    ASSERT_EQ(S_OK, variables.Add(L"V0", L"again"));
    EXPECT_STREQ(L"again", variables.Find("V0"));
}

struct Expansion {
    std::string text;
    HRESULT result;
    std::string expanded;
};

class ExpandScriptTest : public testing::TestWithParam<Expansion> {};

const std::string k31(31, 'N');
const std::string k32(32, 'N');

TEST_P(ExpandScriptTest, Expands)
{
    ScriptVariables variables;
    variables.Add(L"Module", L"C:\\It''s\\M.DLL");
    variables.Add(L"Nested", L"%Module% 100%");
    variables.Add(std::wstring(31, L'n').c_str(), L"thirty-one");
    variables.Add(std::wstring(32, L'n').c_str(), L"thirty-two");
    variables.Add(L"Empty", L"");
    variables.Add(L"Module", L"never");

    LPSTR expanded = reinterpret_cast<LPSTR>(1);
    EXPECT_EQ(GetParam().result, ExpandScript(GetParam().text.c_str(), variables, &expanded));
    if (SUCCEEDED(GetParam().result)) {
        ASSERT_NE(nullptr, expanded);
        EXPECT_EQ(GetParam().expanded, expanded);
    } else {
        EXPECT_EQ(nullptr, expanded);
    }
    CoTaskMemFree(expanded);
}

INSTANTIATE_TEST_SUITE_P(
    Script, ExpandScriptTest,
    testing::Values(Expansion{"", S_OK, ""},
                    Expansion{"no variables", S_OK, "no variables"},
                    Expansion{"100%% %%%%", S_OK, "100% %%"},
                    Expansion{"s '%MODULE%'", S_OK, "s 'C:\\It''s\\M.DLL'"},
                    Expansion{"[%module%][%Module%]", S_OK, "[C:\\It''s\\M.DLL][C:\\It''s\\M.DLL]"},
                    Expansion{"%Nested%", S_OK, "%Module% 100%"},
                    Expansion{"<%Empty%>", S_OK, "<>"},
                    Expansion{"%" + k31 + "%", S_OK, "thirty-one"},
                    Expansion{"%" + k32 + "%", E_FAIL, ""},
                    Expansion{"%" + k32, DISP_E_EXCEPTION, ""},
                    Expansion{"%Missing%", DISP_E_EXCEPTION, ""},
                    Expansion{"ends with %", DISP_E_EXCEPTION, ""},
                    Expansion{"%Module", DISP_E_EXCEPTION, ""}));

TEST(ExpandScript, OutputGrowsPastTwiceTheText)
{
    std::wstring longValue(5000, L'v');
    ScriptVariables variables;
    variables.Add(L"L", longValue.c_str());
    LPSTR expanded = nullptr;
    ASSERT_EQ(S_OK, ExpandScript("%L%|%L%", variables, &expanded));
    EXPECT_EQ(std::string(5000, 'v') + "|" + std::string(5000, 'v'), expanded);
    CoTaskMemFree(expanded);
    EXPECT_EQ(E_POINTER, ExpandScript("x", variables, nullptr));
}

}  // namespace
