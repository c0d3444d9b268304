// Registry views. A 32-bit build runs these for real only under WoW64 (ctest entry checks_wow64:
// a 64-bit Wine prefix) and skips them in the 32-bit prefix, where there is one view; a 64-bit
// build always has both. Each fixture key gets different values in the 64-bit and the 32-bit
// view: the product queries must answer from the 64-bit one, the probes and the reboot check from
// the process's own one (32-bit or 64-bit). Keys under SYSTEM (BITS, Session Manager) are shared
// by both views, so only the SOFTWARE keys can tell the views apart.
#include <gtest/gtest.h>

#include <string>

#include "CatalogCalls.h"
#include "support/SavedRegistry.h"

namespace {

const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class RegistryViewsWow64 : public testing::Test {
protected:
    void SetUp() override
    {
#ifndef _WIN64
        BOOL wow64 = FALSE;
        if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64)
            GTEST_SKIP() << "one registry view only: not running under WoW64";
#endif
    }

    // The same key in both views.
    struct BothViews {
        explicit BothViews(const std::string& path)
            : sixtyFour(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY),
              thirtyTwo(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY)
        {
        }
        SavedKey sixtyFour;
        SavedKey thirtyTwo;
        // The view that a plain KEY_READ of this process reads, and the one it must not.
#ifdef _WIN64
        SavedKey& own() { return sixtyFour; }
        SavedKey& other() { return thirtyTwo; }
#else
        SavedKey& own() { return thirtyTwo; }
        SavedKey& other() { return sixtyFour; }
#endif
    };
};

TEST_F(RegistryViewsWow64, ProductQueriesReadTheSixtyFourBitView)
{
    BothViews setup("SOFTWARE\\Microsoft\\Microsoft Operations Manager\\3.0\\Setup");
    setup.sixtyFour.SetString("InstallDirectory", "C:\\Program Files\\SCE64\\");
    setup.sixtyFour.SetString("CurrentVersion", "6.4.64.0");
    setup.thirtyTwo.SetString("InstallDirectory", "C:\\Program Files (x86)\\SCE32\\");
    setup.thirtyTwo.SetString("CurrentVersion", "3.2.32.0");
    EXPECT_EQ("C:\\Program Files\\SCE64\\", Text(kGetSCEPath));
    EXPECT_EQ("6.4.64.0", Text(kGetSCEVersion));

    BothViews role(std::string(kUninstall) + "System Center Essentials");
    role.sixtyFour.SetDword("InstallUIOnly", 1);
    role.thirtyTwo.SetDword("InstallUIOnly", 0);
    EXPECT_EQ("CONSOLE", Text(kGetSCEType));
    role.sixtyFour.SetDword("InstallUIOnly", 0);
    role.thirtyTwo.SetDword("InstallUIOnly", 1);
    EXPECT_EQ("SERVER", Text(kGetSCEType));

    const struct {
        const char* product;
        CheckIndex check;
    } products[] = {{"{F951B229-BC01-4D9A-B4C4-B5B97F524C5D}", kGetMSMP_x64Version},
                    {"{B13F4F0E-002B-40F7-A67C-012E1B3DDEC2}", kGetAgent_x64Version},
                    {"{A4A8F4DB-C96D-4BC2-B919-DCDDF13C60C4}", kGetASC_x64Version}};
    for (const auto& product : products) {
        BothViews key(std::string(kUninstall) + product.product);
        key.sixtyFour.SetDword("VersionMajor", 6);
        key.sixtyFour.SetDword("VersionMinor", 4);
        key.thirtyTwo.SetDword("VersionMajor", 3);
        key.thirtyTwo.SetDword("VersionMinor", 2);
        EXPECT_EQ("6.4", Text(product.check)) << product.product;
        // Present only in the 32-bit view: not seen at all.
        key.sixtyFour.Remove();
        EXPECT_EQ("0.0", Text(product.check)) << product.product;
    }

    // Only in the 32-bit view: the fallbacks.
    setup.sixtyFour.Remove();
    role.sixtyFour.Remove();
    EXPECT_EQ("?", Text(kGetSCEPath));
    EXPECT_EQ("0.0.0.0", Text(kGetSCEVersion));
    EXPECT_EQ("?", Text(kGetSCEType));
}

TEST_F(RegistryViewsWow64, ProbesReadTheProcesssOwnView)
{
    BothViews dotNet2("SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727");
    BothViews dotNet3("SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v3.0\\Setup");
    BothViews iis("SOFTWARE\\Microsoft\\Inetstp");
    BothViews mdac("SOFTWARE\\Microsoft\\DataAccess");
    BothViews aspNet("SOFTWARE\\Microsoft\\ASP.NET\\2.0.50727.0");
    BothViews sus(std::string(kUninstall) + "{AFF0D9D3-6F0D-437E-9327-98108B4A8644}");

    // Installed in the process's own view only.
    dotNet2.own().SetDword("Install", 1);
    dotNet2.other().SetDword("Install", 0);
    dotNet3.own().SetDword("InstallSuccess", 1);
    dotNet3.other().SetDword("InstallSuccess", 0);
    iis.own().SetDword("MajorVersion", 7);
    iis.other().SetDword("MajorVersion", 5);
    mdac.own().SetString("FullInstallVer", "2.81.1117.0");
    mdac.other().SetString("FullInstallVer", "2.71.9030.0");
    aspNet.own().MakeEmpty();
    aspNet.other().Remove();
    sus.own().Remove();
    sus.other().MakeEmpty();
    EXPECT_EQ(1, Flag(kHasDotNetFramework2));
    EXPECT_EQ(1, Flag(kHasDotNetFramework3));
    EXPECT_EQ(1, Flag(kHasIIS));
    EXPECT_EQ(1, Flag(kHasMDAC28));
    EXPECT_EQ(1, Flag(kHasASPNET20));
    EXPECT_EQ(1, Flag(kNoSUS));

    // And the other way round.
    dotNet2.own().SetDword("Install", 0);
    dotNet2.other().SetDword("Install", 1);
    dotNet3.own().SetDword("InstallSuccess", 0);
    dotNet3.other().SetDword("InstallSuccess", 1);
    iis.own().SetDword("MajorVersion", 5);
    iis.other().SetDword("MajorVersion", 7);
    mdac.own().SetString("FullInstallVer", "2.71.9030.0");
    mdac.other().SetString("FullInstallVer", "2.81.1117.0");
    aspNet.own().Remove();
    aspNet.other().MakeEmpty();
    sus.own().MakeEmpty();
    sus.other().Remove();
    EXPECT_EQ(0, Flag(kHasDotNetFramework2));
    EXPECT_EQ(0, Flag(kHasDotNetFramework3));
    EXPECT_EQ(0, Flag(kHasIIS));
    EXPECT_EQ(0, Flag(kHasMDAC28));
    EXPECT_EQ(0, Flag(kHasASPNET20));
    EXPECT_EQ(0, Flag(kNoSUS));
}

TEST_F(RegistryViewsWow64, RebootSourcesReadTheProcesssOwnView)
{
    BothViews autoUpdate("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update");
    BothViews updates("SOFTWARE\\Microsoft\\Updates\\UpdateExeVolatile");
    SavedValue renames(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                       "PendingFileRenameOperations");
    renames.Delete();

    autoUpdate.other().SetDword("AUState", 8);
    updates.other().SetDword("Flags", 1);
    autoUpdate.own().SetDword("AUState", 7);
    updates.own().SetDword("Flags", 0);
    EXPECT_EQ(0, Flag(kIsRebootPending));
    autoUpdate.own().SetDword("AUState", 8);
    EXPECT_EQ(1, Flag(kIsRebootPending));
    autoUpdate.own().SetDword("AUState", 7);
    updates.own().SetDword("Flags", 2);
    EXPECT_EQ(1, Flag(kIsRebootPending));
}

}  // namespace
