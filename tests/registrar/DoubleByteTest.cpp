// The interpreter under a double-byte ANSI code page. ctest runs these in a prefix of their
// own with LANG=ja_JP.UTF-8 (registrar_cp932), where Wine reports code page 932; elsewhere
// they are skipped. In 932 a trail byte can be 0x5C ('\'), but never '\'' nor '%'.
#include <gtest/gtest.h>
#include <objbase.h>

#include <string>

#include "RegistrarFixture.h"
#include "registrar/ExpandScript.h"
#include "registrar/RunRegistrationScript.h"
#include "support/ScratchKey.h"

namespace {

using Lines = std::set<std::string>;

// Shift-JIS: each of these but U+793A ends in the trail byte 0x5C.
const std::string kHyo = "\x95\x5C";                       // U+8868
const std::string kSo = "\x83\x5C";                        // U+30BD
const std::string kNo = "\x94\x5C";                        // U+80FD
const std::string kJi = "\x8E\xA6";                        // U+793A
const std::string kSofuto = kSo + "\x83\x74\x83\x67";     // U+30BD U+30D5 U+30C8

class DoubleByte : public testing::Test {
protected:
    void SetUp() override
    {
        if (GetACP() != 932)
            GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932";
    }
};

TEST_F(DoubleByte, TrailBytesAreNeverDelimitersInEitherPass)
{
    RedirectedRoots roots;
    std::string script = "HKCR {\r\n " + kHyo + " = s '" + kSo + kHyo + "' {\r\n  val " + kNo +
                         " = s '" + kHyo + kJi + "'\r\n  " + kSofuto + " = s " + kHyo + "\r\n }\r\n}";
    ASSERT_EQ(S_OK, ApplyScript(script, TRUE));
    EXPECT_EQ((Lines{kHyo, kHyo + "|@=sz:" + kSo + kHyo, kHyo + "|" + kNo + "=sz:" + kHyo + kJi,
                     kHyo + "\\" + kSofuto, kHyo + "\\" + kSofuto + "|@=sz:" + kHyo}),
              Tree(roots.Scratch()));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(roots.Scratch(), L"\u8868\\\u30BD\u30D5\u30C8", 0, KEY_READ, &key));
    RegCloseKey(key);
    ASSERT_EQ(S_OK, ApplyScript(script, FALSE));
    EXPECT_EQ(Lines{}, Tree(roots.Scratch()));

    EXPECT_EQ(DISP_E_EXCEPTION, ApplyScript("HKCR { " + kHyo + "\\A }", TRUE));  // a real backslash
    EXPECT_EQ(Lines{}, Tree(roots.Scratch()));
}

TEST_F(DoubleByte, LeadByteAtTheVeryEndIsNeverReadPast)
{
    RedirectedRoots roots;
    EXPECT_EQ(DISP_E_EXCEPTION, ApplyScript("HKCR { A = s 'x\x95", TRUE));
    EXPECT_EQ(Lines{}, Tree(roots.Scratch()));
    EXPECT_EQ(DISP_E_EXCEPTION, ApplyScript("HKCR { A } \x95", TRUE));  // no root of that name
    EXPECT_EQ(Lines{"A"}, Tree(roots.Scratch()));

    ScriptVariables variables;
    LPSTR expanded = nullptr;
    ASSERT_EQ(S_OK, ExpandScript("ab\x95", variables, &expanded));
    EXPECT_EQ("ab\x95", std::string(expanded));
    CoTaskMemFree(expanded);
    EXPECT_EQ(DISP_E_EXCEPTION, ExpandScript("%V\x95", variables, &expanded));
}

TEST_F(DoubleByte, VariablesExpandWholeCharacters)
{
    ScriptVariables variables;
    variables.Add(L"\u8868", L"\u793A\u8868");
    variables.Add(L"V", L"abcde\u8868");
    LPSTR expanded = nullptr;
    ASSERT_EQ(S_OK, ExpandScript(("%" + kHyo + "% " + kHyo + "%%").c_str(), variables, &expanded));
    EXPECT_EQ(kJi + kHyo + " " + kHyo + "%", std::string(expanded));
    CoTaskMemFree(expanded);
    // Six bytes of room; the double-byte character comes when one is left.
    ASSERT_EQ(S_OK, ExpandScript("%V%", variables, &expanded));
    EXPECT_EQ("abcde" + kHyo, std::string(expanded));
    CoTaskMemFree(expanded);
}

TEST_F(DoubleByte, ModulePathKeepsItsCharacters)
{
    // Wine gives no 8.3 name that keeps these characters, and none at all for this depth,
    // so "Module" is the full path (see RunRegistrationScriptTest).
    std::vector<std::string> folders(40, "a b");
    folders.push_back(kHyo + "'" + kJi);
    ModuleCopy copy(folders);
    if (copy.Handle() == nullptr)
        GTEST_SKIP() << "no folder with Japanese characters here: Wine needs the Linux locale "
                        "ja_JP.UTF-8 (localedef) to name files in code page 932";
    std::string full = ToAnsi(copy.Path());
    char shortPath[MAX_PATH];
    DWORD length = GetShortPathNameA(full.c_str(), shortPath, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        GTEST_SKIP() << "this file system has a short form for the path";

    RedirectedRoots roots;
    HINSTANCE module = copy.Handle();
    ASSERT_EQ(S_OK, RunRegistrationScript(module, 201, TRUE, nullptr));
    EXPECT_EQ(full, GetStringValue(roots.Scratch(), "RegistrarModule", nullptr));
    EXPECT_EQ(copy.Path(), GetWideValue(roots.Scratch(), "RegistrarModule", nullptr));
    ASSERT_EQ(S_OK, RunRegistrationScript(module, 201, FALSE, nullptr));
    EXPECT_EQ(Lines{}, Tree(roots.Scratch()));
}

}  // namespace
