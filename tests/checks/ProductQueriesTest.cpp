// The product queries against real keys of HKEY_LOCAL_MACHINE in the test prefix, written in the
// 64-bit view that the queries read (in a 32-bit system the only view; RegistryViewsWow64Test
// tells the views apart).
#include "checks/ProductQueries.h"

#include <gtest/gtest.h>

#include <string>

#include "CatalogCalls.h"
#include "support/SavedRegistry.h"

namespace {

const char kSetup[] = "SOFTWARE\\Microsoft\\Microsoft Operations Manager\\3.0\\Setup";
const char kSceUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\System Center Essentials";
const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Formatted(DWORD major, DWORD minor)
{
    char text[kCheckTextSize];
    FormatProductVersion(major, minor, text);
    return text;
}

TEST(ProductQueryDecisions, RoleAndVersionTexts)
{
    EXPECT_STREQ("SERVER", SceRoleText(0));
    EXPECT_STREQ("CONSOLE", SceRoleText(1));
    EXPECT_STREQ("CONSOLE", SceRoleText(0x80000000));
    EXPECT_EQ("2.0", Formatted(2, 0));
    EXPECT_EQ("0.0", Formatted(0, 0));
    EXPECT_EQ("3.10", Formatted(3, 10));
    // "%d" formats signed values.
    EXPECT_EQ("-2147483648.0", Formatted(0x80000000, 0));
    EXPECT_EQ("2147483647.-1", Formatted(0x7FFFFFFF, 0xFFFFFFFF));
    EXPECT_EQ("-1.-2147483648", Formatted(0xFFFFFFFF, 0x80000000));
}

TEST(ProductQueries, SystemCenterEssentialsSetupKey)
{
    SavedKey setup(HKEY_LOCAL_MACHINE, kSetup, KEY_WOW64_64KEY);
    setup.Remove();
    EXPECT_EQ("?", Text(kGetSCEPath));
    EXPECT_EQ("0.0.0.0", Text(kGetSCEVersion));

    setup.MakeEmpty();
    EXPECT_EQ("", Text(kGetSCEPath));
    EXPECT_EQ("", Text(kGetSCEVersion));

    setup.SetString("InstallDirectory", "C:\\Program Files\\System Center Essentials\\");
    setup.SetString("CurrentVersion", "6.0.6278.0");
    EXPECT_EQ("C:\\Program Files\\System Center Essentials\\", Text(kGetSCEPath));
    EXPECT_EQ("6.0.6278.0", Text(kGetSCEVersion));

    // Texts come through the ANSI code page (1252 in the test prefix: 0xE9 is e acute).
    setup.SetString("InstallDirectory", "C:\\Caf\xE9");
    EXPECT_EQ("C:\\Caf\xE9", Text(kGetSCEPath));

    // 260 bytes without a zero are taken whole, and nothing past them is read. (The byte after
    // the data is not zero: RegSetValueExA would count it as the terminator.)
    std::string full(261, 'D');
    setup.SetRaw("InstallDirectory", REG_SZ, full.data(), 260);
    EXPECT_EQ(full.substr(0, 260), Text(kGetSCEPath));
    setup.SetString("InstallDirectory", std::string(259, 'E'));  // 260 bytes with its zero
    EXPECT_EQ(std::string(259, 'E'), Text(kGetSCEPath));
    // A longer value does not fit: the read fails and the text is empty, not a fallback.
    setup.SetString("InstallDirectory", std::string(260, 'F'));
    EXPECT_EQ("", Text(kGetSCEPath));
    setup.SetString("CurrentVersion", std::string(400, '7'));
    EXPECT_EQ("", Text(kGetSCEVersion));

    setup.MakeUnreadable();
    EXPECT_EQ("?", Text(kGetSCEPath));
    EXPECT_EQ("0.0.0.0", Text(kGetSCEVersion));
}

TEST(ProductQueries, SystemCenterEssentialsRole)
{
    SavedKey uninstall(HKEY_LOCAL_MACHINE, kSceUninstall, KEY_WOW64_64KEY);
    uninstall.Remove();
    EXPECT_EQ("?", Text(kGetSCEType));
    uninstall.MakeEmpty();
    EXPECT_EQ("SERVER", Text(kGetSCEType));
    uninstall.SetDword("InstallUIOnly", 1);
    EXPECT_EQ("CONSOLE", Text(kGetSCEType));
    uninstall.SetDword("InstallUIOnly", 0);
    EXPECT_EQ("SERVER", Text(kGetSCEType));
    uninstall.SetString("InstallUIOnly", "0");  // the bytes 0x30 0x00: not 0
    EXPECT_EQ("CONSOLE", Text(kGetSCEType));
    uninstall.SetDword("InstallUIOnly", 1);
    uninstall.MakeUnreadable();
    EXPECT_EQ("?", Text(kGetSCEType));
}

struct X64Case {
    const char* name;
    const char* product;
    CheckIndex check;
};

class X64Versions : public testing::TestWithParam<X64Case> {};

TEST_P(X64Versions, MajorDotMinorOrFallback)
{
    SavedKey key(HKEY_LOCAL_MACHINE, std::string(kUninstall) + GetParam().product, KEY_WOW64_64KEY);
    CheckIndex check = GetParam().check;
    key.Remove();
    EXPECT_EQ("0.0", Text(check));
    key.MakeEmpty();
    EXPECT_EQ("0.0", Text(check));  // opened, both numbers missing
    key.SetDword("VersionMajor", 3);
    EXPECT_EQ("3.0", Text(check));
    key.SetDword("VersionMinor", 0);
    key.SetDword("VersionMajor", 2);
    EXPECT_EQ("2.0", Text(check));
    key.DeleteValue("VersionMajor");
    key.SetDword("VersionMinor", 5);
    EXPECT_EQ("0.5", Text(check));
    key.SetDword("VersionMajor", 0x80000000);
    key.SetDword("VersionMinor", 0xFFFFFFFF);
    EXPECT_EQ("-2147483648.-1", Text(check));
    key.SetString("VersionMajor", "1");  // 49
    key.SetString("VersionMinor", "12345");  // too long for a number
    EXPECT_EQ("49.0", Text(check));
    key.MakeUnreadable();
    EXPECT_EQ("0.0", Text(check));
}

INSTANTIATE_TEST_SUITE_P(ProductQueries, X64Versions,
                         testing::Values(X64Case{"ManagementPack", "{F951B229-BC01-4D9A-B4C4-B5B97F524C5D}",
                                                 kGetMSMP_x64Version},
                                         X64Case{"Agent", "{B13F4F0E-002B-40F7-A67C-012E1B3DDEC2}",
                                                 kGetAgent_x64Version},
                                         X64Case{"Asc", "{A4A8F4DB-C96D-4BC2-B919-DCDDF13C60C4}",
                                                 kGetASC_x64Version}),
                         [](const testing::TestParamInfo<X64Case>& info) { return std::string(info.param.name); });

// Each query reads its own key only.
TEST(ProductQueries, EachProductHasItsOwnKey)
{
    const std::string uninstall = kUninstall;
    SavedKey managementPack(HKEY_LOCAL_MACHINE, uninstall + "{F951B229-BC01-4D9A-B4C4-B5B97F524C5D}", KEY_WOW64_64KEY);
    SavedKey agent(HKEY_LOCAL_MACHINE, uninstall + "{B13F4F0E-002B-40F7-A67C-012E1B3DDEC2}", KEY_WOW64_64KEY);
    SavedKey asc(HKEY_LOCAL_MACHINE, uninstall + "{A4A8F4DB-C96D-4BC2-B919-DCDDF13C60C4}", KEY_WOW64_64KEY);
    managementPack.SetDword("VersionMajor", 1);
    agent.SetDword("VersionMajor", 2);
    asc.SetDword("VersionMajor", 3);
    EXPECT_EQ("1.0", Text(kGetMSMP_x64Version));
    EXPECT_EQ("2.0", Text(kGetAgent_x64Version));
    EXPECT_EQ("3.0", Text(kGetASC_x64Version));
}

}  // namespace
