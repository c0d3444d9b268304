// The report and the DLL copied into a folder named outside the ANSI code page (a user profile
// named in Greek or Cyrillic on a Western Windows). The report must find and load its DLL there;
// registration must name the file through its short form, or fail and leave the registry alone.
#include "support/Paths.h"
#include "support/Process.h"
#include "support/RegistrySnapshot.h"
#include "support/ScratchKey.h"

#include "Checks.h"
#include "common/Activation.h"
#include "common/CanonicalPath.h"

#include <Morvaleth.h>
#include <gtest/gtest.h>

#include <cwctype>
#include <regex>
#include <string>
#include <vector>

namespace {

const char* const kRegistration[] = {
    "Morvaleth.Validate.7", "Morvaleth.Validate", "CLSID\\{E3541FCC-DCF0-4045-898B-2795D6CD0E87}",
    "TypeLib\\{23DE8B21-CC1D-448D-B825-2C4D4DB8F325}", "Interface\\{A1BAB43A-0951-4A61-8416-A50590D6683A}"};
const std::wstring kFolderName = L"Morvaleth \u039C\u03BF\u03C1\u03B2\u03B1\u03BB\u03B5\u03B8 \u0416";

std::string Registration()
{
    std::string all;
    for (const char* key : kRegistration)
        all += Joined(SnapshotKey(HKEY_CLASSES_ROOT, key));
    return all;
}

class ForeignFolder : public testing::Test {
protected:
    void SetUp() override
    {
        if (Widen(ToAnsi(kFolderName)) == kFolderName)
            GTEST_SKIP() << "this ANSI code page holds the folder's name";
        Clean();
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + kFolderName + L"\\";
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        for (const wchar_t* file : {L"morvaleth-report.exe", L"Morvaleth.DLL"})
            ASSERT_TRUE(CopyFileW(Widen(BesideExecutable(ToAnsi(file))).c_str(), (folder_ + file).c_str(), FALSE));
    }
    void TearDown() override
    {
        CoFreeUnusedLibrariesEx(0, 0);
        Clean();
        for (const wchar_t* file : {L"morvaleth-report.exe", L"Morvaleth.DLL"})
            DeleteFileW((folder_ + file).c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    static void Clean()
    {
        for (const char* key : kRegistration)
            RemoveKeyTree(HKEY_CLASSES_ROOT, key);
    }
    std::wstring folder_;
};

TEST_F(ForeignFolder, TheReportFindsItsDllThereAndAnswersAll26)
{
    const std::wstring report = L"\"" + folder_ + L"morvaleth-report.exe\" --json";
    const std::wstring rows[] = {report, report + L" --dll \"" + folder_ + L"Morvaleth.DLL\""};
    for (const std::wstring& commandLine : rows) {
        SCOPED_TRACE(ToAnsi(commandLine));
        std::string output;
        EXPECT_EQ(0, RunProcessCapture(commandLine, output)) << output;
        EXPECT_NE(std::string::npos, output.find("through its manifest")) << output;
        std::regex member("\n  \"\\w+\": (true|false|\")");
        EXPECT_EQ(26, std::distance(std::sregex_iterator(output.begin(), output.end(), member), std::sregex_iterator()))
            << output;
    }
    EXPECT_EQ("", Registration()) << "the report registered the class";
}

TEST_F(ForeignFolder, RegistrationNamesTheShortFormOrChangesNothing)
{
    const std::wstring dll = folder_ + L"Morvaleth.DLL";
    wchar_t shortForm[MAX_PATH] = {};
    DWORD length = GetShortPathNameW(dll.c_str(), shortForm, MAX_PATH);
    // Wine makes an 8.3 name for every file; Windows only where the volume has them on.
    bool nameable = length > 0 && length < MAX_PATH && Widen(ToAnsi(shortForm)) == shortForm;
    int status = RunProcess(L"regsvr32.exe /s \"" + dll + L"\"");
    if (!nameable) {
        EXPECT_NE(0, status);
        EXPECT_EQ("", Registration()) << "a failed registration left entries";
        return;
    }
    ASSERT_EQ(0, status);
    EXPECT_EQ(ToAnsi(shortForm),
              GetStringValue(HKEY_CLASSES_ROOT, std::string(kRegistration[2]) + "\\InprocServer32", nullptr));
    // The class and, through the type library's wide registration, every check by name.
    IDispatch* object = nullptr;
    ASSERT_EQ(S_OK, CreateByProgId(L"Morvaleth.Validate", IID_IDispatch, reinterpret_cast<void**>(&object)));
    EXPECT_EQ(CanonicalPath(dll), CanonicalPath(ServingModule(object)));
    for (const Answer& answer : CallLateBound(object))
        EXPECT_EQ(S_OK, answer.result) << ToAnsi(answer.check);
    object->Release();
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(0, RunProcess(L"regsvr32.exe /s /u \"" + dll + L"\""));
    EXPECT_EQ("", Registration());
}

}  // namespace
