// The registration script and version information carried by the built DLL.
#include "support/Paths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace {

class LoadedAsData {
public:
    LoadedAsData() : module(LoadLibraryExA(BesideExecutable("Morvaleth.DLL").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~LoadedAsData()
    {
        if (module)
            FreeLibrary(module);
    }
    HMODULE module;
};

std::string ResourceBytes(HMODULE module, LPCSTR type, WORD id, WORD language)
{
    HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), language);
    if (!found)
        return std::string("<missing>");
    HGLOBAL loaded = LoadResource(module, found);
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    return std::string(bytes, SizeofResource(module, found));
}

TEST(ResourceTest, RegistrationScriptIsTheSourceFileByteForByte)
{
    LoadedAsData dll;
    ASSERT_NE(nullptr, dll.module);
    std::string source = ReadFileBytes(BesideExecutable("Morvaleth.rgs"));
    ASSERT_EQ(637u, source.size());
    EXPECT_EQ(source, ResourceBytes(dll.module, "REGISTRY", 102, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)));
}

TEST(ResourceTest, TypeLibraryAndStringTable)
{
    LoadedAsData dll;
    ASSERT_NE(nullptr, dll.module);
    std::string typelib = ResourceBytes(dll.module, "TYPELIB", 1, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    EXPECT_EQ("MSFT", typelib.substr(0, 4));
    char text[64] = {};
    EXPECT_EQ(9, LoadStringA(dll.module, 100, text, sizeof text));
    EXPECT_STREQ("Morvaleth", text);
}

TEST(ResourceTest, VersionInformation)
{
    std::string path = BesideExecutable("Morvaleth.DLL");
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00020006u, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00020006u, fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    EXPECT_EQ(0x3Fu, fixed->dwFileFlagsMask);
    EXPECT_EQ(0u, fixed->dwFileFlags);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileSubtype);
    EXPECT_EQ(0u, fixed->dwFileDateMS);
    EXPECT_EQ(0u, fixed->dwFileDateLS);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    const std::pair<const char*, const char*> strings[] = {
        {"Comments", ""},
        {"CompanyName", "Morvaleth"},
        {"FileDescription", "Morvaleth Module"},
        {"FileVersion", "2, 6, 0, 0"},
        {"InternalName", "Morvaleth"},
        {"LegalCopyright", "Copyright (C) 2026 the Morvaleth developers"},
        {"LegalTrademarks", ""},
        {"OLESelfRegister", ""},
        {"OriginalFilename", "Morvaleth.DLL"},
        {"PrivateBuild", ""},
        {"ProductName", "Morvaleth Module"},
        {"ProductVersion", "2, 6, 0, 0"},
        {"SpecialBuild", ""},
    };
    for (const auto& entry : strings) {
        std::string query = std::string("\\StringFileInfo\\040904b0\\") + entry.first;
        char* value = nullptr;
        length = 0;
        EXPECT_TRUE(VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) << entry.first;
        if (value)
            EXPECT_STREQ(entry.second, value) << entry.first;
    }
}

// The entries stand in the block in this order; read the raw block to see it.
TEST(ResourceTest, VersionStringsInOrder)
{
    LoadedAsData dll;
    ASSERT_NE(nullptr, dll.module);
    std::string raw = ResourceBytes(dll.module, MAKEINTRESOURCEA(16), 1, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    const wchar_t* keys[] = {L"Comments", L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                             L"LegalCopyright", L"LegalTrademarks", L"OLESelfRegister", L"OriginalFilename",
                             L"PrivateBuild", L"ProductName", L"ProductVersion", L"SpecialBuild"};
    std::wstring wide(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / 2);
    size_t position = 0;
    for (const wchar_t* key : keys) {
        size_t found = wide.find(std::wstring(key) + L'\0', position);
        ASSERT_NE(std::wstring::npos, found) << "out of order or missing";
        position = found + 1;
    }
}

}  // namespace
