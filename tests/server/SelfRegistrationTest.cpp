// Registration of the class table's entries, their categories and the module's type library.
#include "server/SelfRegistration.h"
#include "support/LoadedServer.h"
#include "support/Paths.h"
#include "support/RedirectedRoot.h"
#include "support/RegistrySnapshot.h"
#include "support/TargetPlatform.h"

#include <Morvaleth.h>
#include <gtest/gtest.h>

#include <string>

namespace {

const char kScratch[] = "Software\\MorvalethTests\\SelfRegistration";
const std::string kTypeLibKey = "TypeLib\\{23DE8B21-CC1D-448D-B825-2C4D4DB8F325}\\1.0";

std::string g_calls;
HRESULT g_answer = S_OK;
HRESULT RecordA(BOOL doRegister)
{
    g_calls += doRegister ? "A+" : "A-";
    return g_answer;
}
HRESULT RecordB(BOOL doRegister)
{
    g_calls += doRegister ? "B+" : "B-";
    return S_OK;
}
const char* Described() { return "not for registration of all classes"; }
const char* Undescribed() { return nullptr; }
const GUID kCategory = {0x40fc6ed5, 0x2438, 0x11cf, {0xa3, 0xdb, 0x08, 0x00, 0x36, 0xf1, 0x25, 0x02}};
const CategoryEntry kCategories[] = {{1, &kCategory}, {2, &kCategory}, {0, nullptr}};
const CLSID kClassA = {0xaaaaaaaa, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
const CLSID kClassB = {0xbbbbbbbb, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
void Nothing(bool) {}

class SelfRegistrationTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        g_answer = S_OK;
        ServerModule::Startup(&module, table, GetModuleHandleA(nullptr));
    }
    void TearDown() override { ServerModule::Shutdown(&module); }
    ClassEntry table[3] = {
        {&kClassA, RecordA, nullptr, nullptr, nullptr, Undescribed, nullptr, Nothing},
        {&kClassB, RecordB, nullptr, nullptr, nullptr, Described, nullptr, Nothing},
        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    };
    ServerModule module;
};

TEST(DirectoryLength, UpToTheLastSeparator)
{
    EXPECT_EQ(5, DirectoryLength(L"C:\\a\\b.dll"));
    EXPECT_EQ(0, DirectoryLength(L"b.dll"));
    EXPECT_EQ(2, DirectoryLength(L"C:b.dll"));
    EXPECT_EQ(4, DirectoryLength(L"a/b\\c"));
    EXPECT_EQ(0, DirectoryLength(L""));
    EXPECT_EQ(3, DirectoryLength(L"C:\\"));
}

TEST(TypeLibFallback, ExtensionOrEndBecomesTlb)
{
    struct {
        const wchar_t* path;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\x\\Morvaleth.DLL", L"C:\\x\\Morvaleth.tlb"},
        {L"C:\\dir.v2\\Morvaleth", L"C:\\dir.tlb"},  // the last dot anywhere in the path counts
        {L"Morvaleth", L"Morvaleth.tlb"},
        {L"a.b.c", L"a.b.tlb"},
        {L"C:\\\u0416.\u0416\\M", L"C:\\\u0416.tlb"},  // outside any ANSI code page
    };
    for (const auto& test : cases) {
        wchar_t path[MAX_PATH];
        lstrcpynW(path, test.path, MAX_PATH);
        ASSERT_TRUE(ReplaceExtensionWithTlb(path)) << ToAnsi(test.path);
        EXPECT_EQ(std::wstring(test.expected), path);
    }
    wchar_t full[MAX_PATH];
    std::wstring longName(MAX_PATH - 4, L'x');  // no room left for ".tlb" and the NUL
    lstrcpynW(full, longName.c_str(), MAX_PATH);
    EXPECT_FALSE(ReplaceExtensionWithTlb(full));
    std::wstring fits(MAX_PATH - 5, L'x');
    lstrcpynW(full, fits.c_str(), MAX_PATH);
    EXPECT_TRUE(ReplaceExtensionWithTlb(full));
    EXPECT_EQ(MAX_PATH - 1, lstrlenW(full));
}

TEST_F(SelfRegistrationTest, RegistersTheUndescribedEntriesInOrder)
{
    EXPECT_EQ(S_OK, RegisterServer(&module, FALSE, nullptr));
    EXPECT_EQ("A+", g_calls);
    g_calls.clear();
    EXPECT_EQ(S_OK, RegisterServer(&module, FALSE, &kClassB));
    EXPECT_EQ("B+", g_calls);
    g_calls.clear();
    EXPECT_EQ(S_OK, UnregisterServer(&module, FALSE, nullptr));
    EXPECT_EQ("A-", g_calls);
}

TEST_F(SelfRegistrationTest, FirstFailureStopsRegistrationButNotUnregistration)
{
    g_answer = DISP_E_EXCEPTION;
    table[1].description = Undescribed;
    EXPECT_EQ(DISP_E_EXCEPTION, RegisterServer(&module, TRUE, nullptr));
    EXPECT_EQ("A+", g_calls);  // B is not reached and no type library is registered
    g_calls.clear();
    // Every class is still unregistered; the refusal is reported, not turned into success.
    EXPECT_EQ(DISP_E_EXCEPTION, UnregisterServer(&module, TRUE, nullptr));
    EXPECT_EQ("A-B-", g_calls);
}

TEST_F(SelfRegistrationTest, NoModuleRecord)
{
    EXPECT_EQ(E_INVALIDARG, RegisterServer(nullptr, TRUE, nullptr));
    EXPECT_EQ(E_INVALIDARG, UnregisterServer(nullptr, TRUE, nullptr));
}

TEST_F(SelfRegistrationTest, CategoriesAreRegisteredAndRemoved)
{
    // Wine's categories manager writes to the real classes root whatever this process has
    // redirected, so the test uses the real keys of its prefix and removes them.
    const std::string classKey = "CLSID\\{AAAAAAAA-0000-0000-0000-000000000001}";
    RemoveKeyTree(HKEY_CLASSES_ROOT, classKey);
    EXPECT_EQ(S_OK, RegisterClassCategories(kClassA, nullptr, TRUE));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, classKey));
    ASSERT_EQ(S_OK, RegisterClassCategories(kClassA, kCategories, TRUE));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, classKey + "\\Implemented Categories\\{40FC6ED5-2438-11CF-A3DB-080036F12502}"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, classKey + "\\Required Categories\\{40FC6ED5-2438-11CF-A3DB-080036F12502}"));
    EXPECT_EQ(S_OK, RegisterClassCategories(kClassA, kCategories, FALSE));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, classKey + "\\Implemented Categories\\{40FC6ED5-2438-11CF-A3DB-080036F12502}"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, classKey + "\\Required Categories\\{40FC6ED5-2438-11CF-A3DB-080036F12502}"));
    RemoveKeyTree(HKEY_CLASSES_ROOT, classKey);
}

TEST_F(SelfRegistrationTest, ModuleWithoutTypeLibrary)
{
    BSTR path = reinterpret_cast<BSTR>(1);
    ITypeLib* typeLib = reinterpret_cast<ITypeLib*>(1);
    EXPECT_TRUE(FAILED(LoadModuleTypeLib(&module, &path, &typeLib)));
    EXPECT_EQ(nullptr, path);
    EXPECT_EQ(nullptr, typeLib);
    EXPECT_EQ(E_POINTER, LoadModuleTypeLib(&module, nullptr, &typeLib));
}

TEST_F(SelfRegistrationTest, TypeLibraryOfTheModuleFileIsRegisteredWithItsFolder)
{
    LoadedServer dll;
    ASSERT_NE(nullptr, dll.handle);
    ServerModule::Shutdown(&module);
    ServerModule::Startup(&module, table, dll.handle);

    BSTR path = nullptr;
    ITypeLib* typeLib = nullptr;
    ASSERT_EQ(S_OK, LoadModuleTypeLib(&module, &path, &typeLib));
    EXPECT_EQ(Widen(BesideExecutable("Morvaleth.DLL")), std::wstring(path));
    typeLib->Release();
    SysFreeString(path);

    RedirectedRoot classes(HKEY_CLASSES_ROOT, std::string(kScratch) + "\\Classes");
    ASSERT_EQ(S_OK, RegisterModuleTypeLib(&module));
    EXPECT_EQ(BesideExecutable("Morvaleth.DLL"), GetStringValue(HKEY_CLASSES_ROOT, kTypeLibKey + "\\409\\" + kTargetPlatformKey, nullptr));
    // The whole folder with its trailing separator, not a prefix of it.
    EXPECT_EQ(ExecutableDirectory(), GetStringValue(HKEY_CLASSES_ROOT, kTypeLibKey + "\\HELPDIR", nullptr));
    EXPECT_EQ(S_OK, UnregisterModuleTypeLib(&module));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
}

TEST_F(SelfRegistrationTest, TlbFileBesideALibraryWithoutTheResource)
{
    // The build makes a Morvaleth.DLL without its TYPELIB resource in a folder of its own.
    std::string folder = ExecutableDirectory() + "no-typelib\\";
    std::string copy = folder + "Morvaleth.DLL";
    std::string tlb = folder + "Morvaleth.tlb";
    DeleteFileA(tlb.c_str());
    {
        LoadedServer dll(copy);
        ASSERT_NE(nullptr, dll.handle);
        ServerModule::Shutdown(&module);
        ServerModule::Startup(&module, table, dll.handle);
        BSTR path = nullptr;
        ITypeLib* typeLib = nullptr;
        // Neither in the DLL nor beside it: registration fails with the loader's code for the
        // ".tlb", after the class entries were written.
        ITypeLib* none = nullptr;
        HRESULT loaderCode = LoadTypeLib(Widen(tlb).c_str(), &none);
        ASSERT_TRUE(FAILED(loaderCode));
        EXPECT_EQ(loaderCode, LoadModuleTypeLib(&module, &path, &typeLib)) << "the resource is still there";
        {
            RedirectedRoot classes(HKEY_CLASSES_ROOT, std::string(kScratch) + "\\Classes");
            EXPECT_EQ(loaderCode, RegisterServer(&module, TRUE, nullptr));
            EXPECT_EQ("A+", g_calls);
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
        }

        ASSERT_TRUE(CopyFileA(BesideExecutable("Morvaleth.tlb").c_str(), tlb.c_str(), FALSE));
        ASSERT_EQ(S_OK, LoadModuleTypeLib(&module, &path, &typeLib));
        EXPECT_EQ(Widen(tlb), std::wstring(path));
        typeLib->Release();
        SysFreeString(path);

        RedirectedRoot classes(HKEY_CLASSES_ROOT, std::string(kScratch) + "\\Classes");
        ASSERT_EQ(S_OK, RegisterModuleTypeLib(&module));
        EXPECT_EQ(tlb, GetStringValue(HKEY_CLASSES_ROOT, kTypeLibKey + "\\409\\" + kTargetPlatformKey, nullptr));
        EXPECT_EQ(folder, GetStringValue(HKEY_CLASSES_ROOT, kTypeLibKey + "\\HELPDIR", nullptr));
        ServerModule::Shutdown(&module);
        ServerModule::Startup(&module, table, GetModuleHandleA(nullptr));
    }
    DeleteFileA(tlb.c_str());
}

}  // namespace
