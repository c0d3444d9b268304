// regsvr32 /u tells the truth about what it leaves, in every registry view, and spares what the
// other view's build still uses.
#include "support/LockedKey.h"
#include "support/Process.h"
#include "support/ScratchKey.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kClsid = "{E3541FCC-DCF0-4045-898B-2795D6CD0E87}";
const std::string kClassKey = "CLSID\\" + kClsid;
const char* const kRegistrationKeys[] = {"Morvaleth.Validate.7", "Morvaleth.Validate",
                                         "CLSID\\{E3541FCC-DCF0-4045-898B-2795D6CD0E87}",
                                         "TypeLib\\{23DE8B21-CC1D-448D-B825-2C4D4DB8F325}",
                                         "Interface\\{A1BAB43A-0951-4A61-8416-A50590D6683A}"};

// The view of the other bitness, 0 in a process that has none (a 32-bit prefix).
REGSAM OtherView()
{
#ifdef _WIN64
    return KEY_WOW64_32KEY;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
#endif
}
REGSAM OwnView() { return OtherView() == 0 ? 0 : (OtherView() == KEY_WOW64_32KEY ? KEY_WOW64_64KEY : KEY_WOW64_32KEY); }
std::vector<REGSAM> Views()
{
    if (OtherView() == 0)
        return {0};
    return {OwnView(), OtherView()};
}
std::string ViewName(REGSAM view) { return view == KEY_WOW64_32KEY ? "32: " : view == KEY_WOW64_64KEY ? "64: " : ""; }

// Every key beneath `path` in `view`, itself included; a key that may not be opened is listed
// without what is beneath it.
void ListKeys(const std::string& path, REGSAM view, std::vector<std::pair<REGSAM, std::string>>& keys)
{
    HKEY key = nullptr;
    LONG error = RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key);
    if (error == ERROR_FILE_NOT_FOUND)
        return;
    keys.emplace_back(view, path);
    if (error != ERROR_SUCCESS)
        return;
    std::vector<std::string> names;
    char name[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        DWORD length = MAX_PATH;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string& child : names)
        ListKeys(path + "\\" + child, view, keys);
}

// What is left of the registration, in every view. A key that the views share is listed once.
std::vector<std::pair<REGSAM, std::string>> Left()
{
    std::vector<std::pair<REGSAM, std::string>> keys, unique;
    for (REGSAM view : Views())
        for (const char* root : kRegistrationKeys)
            ListKeys(root, view, keys);
    for (const auto& key : keys) {
        bool shared = key.second.compare(0, 6, "CLSID\\") != 0 && key.second.compare(0, 10, "Interface\\") != 0;
        bool seen = false;
        for (const auto& earlier : unique)
            seen = seen || (earlier.second == key.second && (shared || earlier.first == key.first));
        if (!seen)
            unique.push_back(key);
    }
    return unique;
}

std::string Joined(const std::vector<std::pair<REGSAM, std::string>>& keys)
{
    std::string text;
    for (const auto& key : keys)
        text += ViewName(key.first) + key.second + "\n";
    return text;
}

class Unregistration : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        for (REGSAM view : Views()) {
            for (const char* root : kRegistrationKeys) {
                HKEY classes = nullptr;
                if (RegOpenKeyExA(HKEY_CLASSES_ROOT, nullptr, 0, KEY_ALL_ACCESS | view, &classes) == ERROR_SUCCESS) {
                    RegDeleteTreeA(classes, root);
                    RegCloseKey(classes);
                }
            }
        }
    }
};

// Whichever key of the registration a policy locks, unregistration exits 5 while anything is
// left; once it is unlocked, a second one exits 0 and leaves nothing in any view.
TEST_F(Unregistration, EachLockedKeyFailsItUntilUnlocked)
{
    ASSERT_EQ(0, Regsvr32("/s"));
    const std::vector<std::pair<REGSAM, std::string>> keys = Left();
    ASSERT_GE(keys.size(), 15u) << Joined(keys);
    ASSERT_EQ(0, Regsvr32("/s /u"));
    size_t refused = 0;
    for (const auto& key : keys) {
        SCOPED_TRACE(ViewName(key.first) + key.second);
        ASSERT_EQ(0, Regsvr32("/s"));
        {
            LockedKey locked(HKEY_CLASSES_ROOT, key.second.c_str(), key.first);
            int code = Regsvr32("/s /u");
            // Wine lets some locked keys go all the same (a locale key beneath the type library):
            // then nothing is left and success is the truth.
            std::string left = Joined(Left());
            EXPECT_EQ(left.empty() ? 0 : 5, code) << "left:\n" << left;
            refused += left.empty() ? 0 : 1;
        }
        EXPECT_EQ(0, Regsvr32("/s /u"));
        EXPECT_EQ("", Joined(Left()));
    }
    EXPECT_GE(refused, keys.size() / 2) << "most locks hold, or this test shows nothing";
    EXPECT_EQ(0, Regsvr32("/s /u")) << "nothing registered is nothing left";
}

std::string ProgIdClass(const wchar_t* progId)
{
    CLSID clsid = {};
    if (FAILED(CLSIDFromProgID(progId, &clsid)))
        return "none";
    wchar_t wide[40] = {};
    StringFromGUID2(clsid, wide, 40);
    char text[40] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

// The other build, as its regsvr32 would have registered it in its own view: the ProgIDs that
// both views share stay until the last build goes, and registering this one disturbs nothing.
TEST_F(Unregistration, OtherViewKeepsTheSharedProgIds)
{
    if (OtherView() == 0)
        GTEST_SKIP() << "this process has one registry view only";
    const std::string server = kClassKey + "\\InprocServer32";
    HKEY other = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, server.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | OtherView(), nullptr, &other, nullptr));
    const char path[] = "C:\\Program Files (x86)\\Morvaleth\\Morvaleth.DLL";
    RegSetValueExA(other, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path);
    RegCloseKey(other);
    std::vector<std::pair<REGSAM, std::string>> otherBuild;
    ListKeys(kClassKey, OtherView(), otherBuild);

    ASSERT_EQ(0, Regsvr32("/s"));
    ASSERT_EQ(0, Regsvr32("/s"));
    std::vector<std::pair<REGSAM, std::string>> after;
    ListKeys(kClassKey, OtherView(), after);
    EXPECT_EQ(Joined(otherBuild), Joined(after)) << "registering this build changed the other's class key";

    ASSERT_EQ(0, Regsvr32("/s /u"));
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    EXPECT_EQ(kClsid, ProgIdClass(L"Morvaleth.Validate"));
    EXPECT_EQ(kClsid, ProgIdClass(L"Morvaleth.Validate.7"));
    CoUninitialize();
    std::vector<std::pair<REGSAM, std::string>> ownClass;
    ListKeys(kClassKey, OwnView(), ownClass);
    EXPECT_EQ("", Joined(ownClass));

    HKEY classes = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_ALL_ACCESS | OtherView(), &classes));
    RegDeleteTreeA(classes, kClsid.c_str());
    RegCloseKey(classes);
    EXPECT_EQ(0, Regsvr32("/s /u"));
    EXPECT_EQ("", Joined(Left())) << "the last build takes the shared keys with it";
}

}  // namespace
