// regsvr32 registers and removes Morvaleth.DLL in the real registry of the prefix.
#include "support/Paths.h"
#include "support/Process.h"
#include "support/RegistrySnapshot.h"
#include "support/ScratchKey.h"
#include "support/TargetPlatform.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const std::string kClsid = "{E3541FCC-DCF0-4045-898B-2795D6CD0E87}";
const std::string kLibId = "{23DE8B21-CC1D-448D-B825-2C4D4DB8F325}";
const std::string kIid = "{A1BAB43A-0951-4A61-8416-A50590D6683A}";
const std::string kClassKey = "CLSID\\" + kClsid;
const std::string kTypeLibKey = "TypeLib\\" + kLibId;

std::string DllPath() { return BesideExecutable("Morvaleth.DLL"); }

std::string ShortPath(const std::string& path)
{
    char buffer[MAX_PATH] = {};
    DWORD length = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(buffer) : path;
}

std::vector<std::string> ClassEntries()
{
    std::vector<std::string> all;
    for (const std::string& key : {std::string("Morvaleth.Validate.7"), std::string("Morvaleth.Validate"), kClassKey}) {
        std::vector<std::string> lines = SnapshotKey(HKEY_CLASSES_ROOT, key);
        all.insert(all.end(), lines.begin(), lines.end());
    }
    return all;
}

class Regsvr32Client : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        for (const std::string& key : {std::string("Morvaleth.Validate.7"), std::string("Morvaleth.Validate"), kClassKey,
                                       kTypeLibKey, "Interface\\" + kIid})
            RemoveKeyTree(HKEY_CLASSES_ROOT, key);
    }
};

TEST_F(Regsvr32Client, RegistersExactlyTheClassAndItsTypeLibrary)
{
    ASSERT_EQ(0, Regsvr32("/s"));
    const std::string module = ShortPath(DllPath());
    const std::vector<std::string> expected = {
        "CLSID\\" + kClsid,
        "CLSID\\" + kClsid + "\\InprocServer32",
        "CLSID\\" + kClsid + "\\InprocServer32||1|" + module,
        "CLSID\\" + kClsid + "\\InprocServer32|ThreadingModel|1|Apartment",
        "CLSID\\" + kClsid + "\\ProgID",
        "CLSID\\" + kClsid + "\\ProgID||1|Morvaleth.Validate.7",
        "CLSID\\" + kClsid + "\\Programmable",
        "CLSID\\" + kClsid + "\\TypeLib",
        "CLSID\\" + kClsid + "\\TypeLib||1|" + kLibId,
        "CLSID\\" + kClsid + "\\VersionIndependentProgID",
        "CLSID\\" + kClsid + "\\VersionIndependentProgID||1|Morvaleth.Validate",
        "CLSID\\" + kClsid + "||1|Validate Class",
        "Morvaleth.Validate",
        "Morvaleth.Validate\\CLSID",
        "Morvaleth.Validate\\CLSID||1|" + kClsid,
        "Morvaleth.Validate\\CurVer",
        "Morvaleth.Validate\\CurVer||1|Morvaleth.Validate.7",
        "Morvaleth.Validate.7",
        "Morvaleth.Validate.7\\CLSID",
        "Morvaleth.Validate.7\\CLSID||1|" + kClsid,
        "Morvaleth.Validate.7||1|Validate Class",
        "Morvaleth.Validate||1|Validate Class",
    };
    std::vector<std::string> actual = ClassEntries();
    std::sort(actual.begin(), actual.end());
    std::vector<std::string> sortedExpected = expected;
    std::sort(sortedExpected.begin(), sortedExpected.end());
    EXPECT_EQ(Joined(sortedExpected), Joined(actual));

    // The type library: its file is the DLL's full path, its help directory the DLL's folder.
    EXPECT_EQ("Morvaleth 1.0 Type Library", GetStringValue(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0", nullptr));
    EXPECT_EQ(DllPath(), GetStringValue(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0\\409\\" + kTargetPlatformKey, nullptr));
    std::string helpDirectory = GetStringValue(HKEY_CLASSES_ROOT, kTypeLibKey + "\\1.0\\HELPDIR", nullptr);
    EXPECT_EQ(0u, ExecutableDirectory().find(helpDirectory)) << helpDirectory;
    EXPECT_FALSE(helpDirectory.empty());
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "Interface\\" + kIid));

    // Once more: the same content.
    std::vector<std::string> before = ClassEntries();
    std::vector<std::string> typeLibBefore = SnapshotKey(HKEY_CLASSES_ROOT, kTypeLibKey);
    ASSERT_EQ(0, Regsvr32("/s"));
    EXPECT_EQ(Joined(before), Joined(ClassEntries()));
    EXPECT_EQ(Joined(typeLibBefore), Joined(SnapshotKey(HKEY_CLASSES_ROOT, kTypeLibKey)));
}

TEST_F(Regsvr32Client, UnregisterRemovesItAllButTheClsidKey)
{
    ASSERT_EQ(0, Regsvr32("/s"));
    ASSERT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    ASSERT_EQ(0, Regsvr32("/s /u"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Morvaleth.Validate.7"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Morvaleth.Validate"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
    EXPECT_EQ(0, Regsvr32("/s /u"));
}

TEST_F(Regsvr32Client, ClassKeyIsReplacedWhole)
{
    SetStringValue(HKEY_CLASSES_ROOT, kClassKey + "\\Stale\\Deeper", nullptr, "left over");
    SetStringValue(HKEY_CLASSES_ROOT, kClassKey + "\\Programmable\\Stale", nullptr, "left over");
    ASSERT_EQ(0, Regsvr32("/s"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Stale"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Programmable\\Stale"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Programmable"));
}

}  // namespace
