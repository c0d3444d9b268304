// morvaleth-report.exe as Windows expects a console program of today: an application manifest that
// declares its execution level (no UAC virtualisation of HKLM\SOFTWARE) and the Windows versions it
// knows (GetVersionEx tells the truth), and the Terminal-Server-aware flag (the shared Windows folder
// on a Remote Desktop host).
#include "support/Paths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

class ReportFile : public testing::Test {
protected:
    void SetUp() override
    {
        module_ = LoadLibraryExA(BesideExecutable("morvaleth-report.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << GetLastError();
    }
    void TearDown() override
    {
        if (module_)
            FreeLibrary(module_);
    }
    // A data file's handle carries flags in its low bits; the headers start at the mapping.
    const BYTE* Base() const { return reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module_) & ~ULONG_PTR(3)); }
    HMODULE module_ = nullptr;
};

TEST_F(ReportFile, CarriesTheApplicationManifestAndTheTerminalServerFlag)
{
    HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(nullptr, found) << "no RT_MANIFEST 1";
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(module_, found))), SizeofResource(module_, found));
    const char* const required[] = {
        "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
        "<supportedOS Id=\"{e2011457-1546-43c5-a5fe-008deee3d3f0}\"/>",  // Vista
        "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",  // 7
        "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>",  // 8
        "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>",  // 8.1
        "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",  // 10 and 11
    };
    for (const char* text : required)
        EXPECT_NE(std::string::npos, manifest.find(text)) << text << "\nin\n" << manifest;

    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Base());
    ASSERT_EQ(IMAGE_DOS_SIGNATURE, dos->e_magic);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(Base() + dos->e_lfanew);
    ASSERT_EQ(static_cast<DWORD>(IMAGE_NT_SIGNATURE), nt->Signature);
    EXPECT_NE(0, nt->OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE)
        << std::hex << nt->OptionalHeader.DllCharacteristics;
}

}  // namespace
