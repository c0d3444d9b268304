// The probes against real keys of HKEY_LOCAL_MACHINE in the test prefix; whatever was there is
// put back afterwards (Wine's prefix has a BITS service key of its own).
#include "checks/ComponentProbes.h"

#include <gtest/gtest.h>

#include <string>

#include "CatalogCalls.h"
#include "support/SavedRegistry.h"

namespace {

const char kDotNet2[] = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727";
const char kDotNet3[] = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v3.0\\Setup";
const char kIis[] = "SOFTWARE\\Microsoft\\Inetstp";
const char kMdac[] = "SOFTWARE\\Microsoft\\DataAccess";
const char kBits[] = "SYSTEM\\CurrentControlSet\\Services\\BITS";
const char kAspNet20[] = "SOFTWARE\\Microsoft\\ASP.NET\\2.0.50727.0";
const char kSus[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{AFF0D9D3-6F0D-437E-9327-98108B4A8644}";

// A number value stored as the one-character text "1": the bytes 0x31 0x00 read as 49.
const char kDigitOne[] = "1";

TEST(ComponentProbeDecisions, NumbersAndTheIisVersion)
{
    EXPECT_TRUE(DotNetInstalled(1));
    EXPECT_FALSE(DotNetInstalled(0));
    EXPECT_FALSE(DotNetInstalled(2));
    EXPECT_FALSE(DotNetInstalled(49));
    EXPECT_FALSE(DotNetInstalled(0xFFFFFFFF));
    EXPECT_FALSE(IisSixOrLater(0));
    EXPECT_FALSE(IisSixOrLater(5));
    EXPECT_TRUE(IisSixOrLater(6));
    EXPECT_TRUE(IisSixOrLater(7));
    EXPECT_TRUE(IisSixOrLater(0x80000000));  // unsigned: not a negative number
    EXPECT_TRUE(IisSixOrLater(0xFFFFFFFF));
}

// A text comparison, not a numeric one.
TEST(ComponentProbeDecisions, MdacVersionsSortAsText)
{
    struct Case {
        const char* text;
        bool expected;
    };
    const Case cases[] = {
        {"2.80.1022.0", true}, {"2.81", true},  {"2.81.1117.0", true}, {"6", true},
        {"6.0.6001.18000", true}, {"2.80.1022.1", true}, {"2.80.1022.0 ", true}, {"?", true},
        {"2.8", false},        {"2.80.1022", false}, {"10", false}, {"10.0", false},
        {"2.71", false},       {"2.71.9030.0", false}, {"", false}, {" 2.81", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, MdacTwoEightOrLater(c.text)) << '"' << c.text << '"';
}

class ComponentProbes : public testing::Test {
protected:
    // A REG_SZ without its terminator. The byte after the data must not be zero either: like NT,
    // Wine's RegSetValueExA then counts that zero as the terminator the caller forgot.
    static void SetUnterminatedText(SavedKey& key, const char* name, char fill, DWORD size)
    {
        std::string bytes(size + 1, fill);
        key.SetRaw(name, REG_SZ, bytes.data(), size);
    }
};

TEST_F(ComponentProbes, DotNetFramework2)
{
    SavedKey key(HKEY_LOCAL_MACHINE, kDotNet2);
    key.Remove();
    EXPECT_EQ(0, Flag(kHasDotNetFramework2));
    key.MakeEmpty();
    EXPECT_EQ(0, Flag(kHasDotNetFramework2));
    key.SetDword("Install", 1);
    EXPECT_EQ(1, Flag(kHasDotNetFramework2));
    key.SetDword("Install", 0);
    EXPECT_EQ(0, Flag(kHasDotNetFramework2));
    key.SetDword("Install", 2);
    EXPECT_EQ(0, Flag(kHasDotNetFramework2));
    key.SetString("Install", kDigitOne);
    EXPECT_EQ(0, Flag(kHasDotNetFramework2));
    // Eight bytes do not fit in four: the read fails and the number stays 0.
    const BYTE longer[8] = {1, 0, 0, 0, 1, 0, 0, 0};
    key.SetRaw("Install", REG_BINARY, longer, sizeof longer);
    EXPECT_EQ(0, Flag(kHasDotNetFramework2));
    // The type is not examined: four bytes of 1 in any type count.
    const BYTE one[4] = {1, 0, 0, 0};
    key.SetRaw("Install", REG_BINARY, one, sizeof one);
    EXPECT_EQ(1, Flag(kHasDotNetFramework2));
    key.MakeUnreadable();
    EXPECT_EQ(0, Flag(kHasDotNetFramework2));
}

TEST_F(ComponentProbes, DotNetFramework3)
{
    SavedKey key(HKEY_LOCAL_MACHINE, kDotNet3);
    key.Remove();
    EXPECT_EQ(0, Flag(kHasDotNetFramework3));
    key.MakeEmpty();
    EXPECT_EQ(0, Flag(kHasDotNetFramework3));
    key.SetDword("Install", 1);  // the other probe's value name
    EXPECT_EQ(0, Flag(kHasDotNetFramework3));
    key.SetDword("InstallSuccess", 1);
    EXPECT_EQ(1, Flag(kHasDotNetFramework3));
    key.SetDword("InstallSuccess", 0xFFFFFFFF);
    EXPECT_EQ(0, Flag(kHasDotNetFramework3));
    key.SetDword("InstallSuccess", 1);
    key.MakeUnreadable();
    EXPECT_EQ(0, Flag(kHasDotNetFramework3));
}

TEST_F(ComponentProbes, Iis)
{
    SavedKey key(HKEY_LOCAL_MACHINE, kIis);
    key.Remove();
    EXPECT_EQ(0, Flag(kHasIIS));
    key.MakeEmpty();
    EXPECT_EQ(0, Flag(kHasIIS));
    const struct {
        DWORD number;
        int expected;
    } cases[] = {{5, 0}, {6, 1}, {7, 1}, {0, 0}, {0x80000000, 1}, {0xFFFFFFFF, 1}};
    for (const auto& c : cases) {
        key.SetDword("MajorVersion", c.number);
        EXPECT_EQ(c.expected, Flag(kHasIIS)) << c.number;
    }
    key.SetString("MajorVersion", kDigitOne);  // 49
    EXPECT_EQ(1, Flag(kHasIIS));
    key.SetString("MajorVersion", "7777");  // five bytes with the zero: too long for a number
    EXPECT_EQ(0, Flag(kHasIIS));
    key.SetDword("MajorVersion", 7);
    key.MakeUnreadable();
    EXPECT_EQ(0, Flag(kHasIIS));
}

TEST_F(ComponentProbes, Mdac)
{
    SavedKey key(HKEY_LOCAL_MACHINE, kMdac);
    key.Remove();
    EXPECT_EQ(1, Flag(kHasMDAC28));  // the fallback text "?" sorts after "2"
    key.MakeEmpty();
    EXPECT_EQ(0, Flag(kHasMDAC28));  // the empty text
    const struct {
        const char* text;
        int expected;
    } cases[] = {{"2.80.1022.0", 1}, {"2.81.1117.0", 1}, {"6.0.6001.18000", 1},
                 {"2.71.9030.0", 0}, {"2.8", 0},          {"10.0.1", 0}};
    for (const auto& c : cases) {
        key.SetString("FullInstallVer", c.text);
        EXPECT_EQ(c.expected, Flag(kHasMDAC28)) << c.text;
    }
    // 260 bytes without a zero byte are taken whole; one byte more does not fit and reads as empty.
    SetUnterminatedText(key, "FullInstallVer", '9', 260);
    EXPECT_EQ(1, Flag(kHasMDAC28));
    key.SetString("FullInstallVer", std::string(300, '9'));
    EXPECT_EQ(0, Flag(kHasMDAC28));
    key.SetString("FullInstallVer", "2.80.1022.0");
    key.MakeUnreadable();
    EXPECT_EQ(1, Flag(kHasMDAC28));  // denied: the key does not open, so "?"
}

TEST_F(ComponentProbes, KeyProbes)
{
    SavedKey bits(HKEY_LOCAL_MACHINE, kBits);
    SavedKey aspNet(HKEY_LOCAL_MACHINE, kAspNet20);
    SavedKey sus(HKEY_LOCAL_MACHINE, kSus);

    bits.Remove();
    aspNet.Remove();
    sus.Remove();
    EXPECT_EQ(0, Flag(kHasBITS));
    EXPECT_EQ(0, Flag(kHasASPNET20));
    EXPECT_EQ(1, Flag(kNoSUS));

    // An empty key is enough: no value is read.
    bits.MakeEmpty();
    aspNet.MakeEmpty();
    sus.MakeEmpty();
    EXPECT_EQ(1, Flag(kHasBITS));
    EXPECT_EQ(1, Flag(kHasASPNET20));
    EXPECT_EQ(0, Flag(kNoSUS));

    // Denied access counts as absent.
    bits.MakeUnreadable();
    aspNet.MakeUnreadable();
    sus.MakeUnreadable();
    EXPECT_EQ(0, Flag(kHasBITS));
    EXPECT_EQ(0, Flag(kHasASPNET20));
    EXPECT_EQ(1, Flag(kNoSUS));
}

// Nothing is cached: a second call sees the registry as it is now.
TEST_F(ComponentProbes, TwoCallsAroundAChangeGiveTheNewAnswer)
{
    SavedKey key(HKEY_LOCAL_MACHINE, kDotNet2);
    key.SetDword("Install", 1);
    EXPECT_EQ(1, Flag(kHasDotNetFramework2));
    key.SetDword("Install", 0);
    EXPECT_EQ(0, Flag(kHasDotNetFramework2));
    key.Remove();
    key.SetDword("Install", 1);
    EXPECT_EQ(1, Flag(kHasDotNetFramework2));
}

}  // namespace
