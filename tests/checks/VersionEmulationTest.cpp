// Wine answers the version query from its own table for the Windows version it is set to emulate.
// Wine reads that setting once, when a process starts: a process that changes it keeps its own
// version (measured with Wine 8). So each setting is tried in a new process: this executable,
// copied under a name of its own and given a per-application setting
// (HKCU\Software\Wine\AppDefaults\<exe>\Version), so that other programs of the prefix, which
// may run at the same time, keep theirs. Expectations come from the record the child reads
// back, never from the setting's name: Wine 8 answers "win7" with a server product type and
// "win2008r2" with a workstation one, and without a manifest "win81" and "win10" report 6.2.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "CatalogCalls.h"
#include "checks/CheckExplanation.h"
#include "checks/OsIdentification.h"
#include "EditionCases.h"
#include "support/Paths.h"

namespace {

const char kReportVariable[] = "MORVALETH_VERSION_REPORT";
const char kChildName[] = "morvaleth-version-child.exe";
const char kAppDefaults[] = "Software\\Wine\\AppDefaults\\morvaleth-version-child.exe";

const char* const kSettings[] = {"win95", "win98", "winme", "nt351", "nt40", "win2k", "winxp", "win2003",
                                 "vista", "win2008", "win7", "win2008r2", "win8", "win81", "win10"};

bool RunningUnderWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

std::string TempPath(const char* name)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

// What the child saw: its record and the five answers.
struct ChildReport {
    unsigned long platform = 0, major = 0, minor = 0, productType = 0;
    int server = -1, console = -1, agent = -1;
    unsigned long kernelMajor = 0, kernelMinor = 0;
    std::string edition, csd, servicePack, reasonCode;
};

bool ParseReport(const std::string& path, ChildReport& report)
{
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line))
        return false;
    std::istringstream fields(line);
    fields >> report.platform >> report.major >> report.minor >> report.productType >> report.server >>
        report.console >> report.agent >> report.kernelMajor >> report.kernelMinor;
    // Texts may hold blanks: one per line, bracketed.
    std::string* texts[] = {&report.edition, &report.csd, &report.servicePack, &report.reasonCode};
    for (std::string* text : texts) {
        if (!std::getline(in, line) || line.size() < 2)
            return false;
        *text = line.substr(1, line.size() - 2);
    }
    return static_cast<bool>(fields);
}

DWORD RunChild(const std::string& exe, const std::string& report)
{
    std::string commandLine = "\"" + exe + "\" --gtest_filter=VersionEmulationChild.*";
    SetEnvironmentVariableA(kReportVariable, report.c_str());
    // The child's own test output would only clutter ours.
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &process);
    SetEnvironmentVariableA(kReportVariable, nullptr);
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
    if (!started)
        return 0xFFFFFFFF;
    DWORD waited = WaitForSingleObject(process.hProcess, 60000);
    DWORD exitCode = 0xFFFFFFFE;
    if (waited == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &exitCode);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

// Removes the copy and the setting however the test ends.
struct ChildCleanup {
    std::string exe, report;
    ~ChildCleanup()
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaults);
        DeleteFileA(exe.c_str());
        DeleteFileA(report.c_str());
    }
};

TEST(VersionEmulation, EditionAndRolesForEverySettingFromWin95ToWin10)
{
    if (!RunningUnderWine())
        GTEST_SKIP() << "Wine's version emulation only";
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    ChildCleanup cleanup{TempPath(kChildName), TempPath("morvaleth-version-report.txt")};
    ASSERT_TRUE(CopyFileA(self, cleanup.exe.c_str(), FALSE));
    std::set<std::string> distinctRecords;
    int kernelDiffers = 0;

    for (const char* setting : kSettings) {
        SCOPED_TRACE(setting);
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kAppDefaults, 0, nullptr, 0, KEY_SET_VALUE,
                                                 nullptr, &key, nullptr));
        RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(setting),
                       static_cast<DWORD>(std::strlen(setting) + 1));
        RegCloseKey(key);
        DeleteFileA(cleanup.report.c_str());

        ASSERT_EQ(0u, RunChild(cleanup.exe, cleanup.report));
        ChildReport report;
        ASSERT_TRUE(ParseReport(cleanup.report, report));

        const EditionCase* expected =
            FindEditionCase(report.platform, report.major, report.minor, static_cast<BYTE>(report.productType));
        ASSERT_NE(nullptr, expected) << "no expectation for platform " << report.platform << ", "
                                     << report.major << "." << report.minor << ", product type "
                                     << report.productType;
        EXPECT_EQ(expected->edition, report.edition);
        EXPECT_EQ(expected->server, report.server);
        EXPECT_EQ(expected->console, report.console);
        EXPECT_EQ(expected->console, report.agent);
        EXPECT_EQ(report.csd, report.servicePack);
        // The evidence says when the kernel's own version is not the one the process is told.
        bool differs = report.kernelMajor != report.major || report.kernelMinor != report.minor;
        kernelDiffers += differs ? 1 : 0;
        const char* named = expected->edition == std::string("UNKNOWN") ? "edition-not-listed" : "edition-named";
        EXPECT_EQ(std::string(named) + (differs ? "-kernel-differs" : ""), report.reasonCode);
        distinctRecords.insert(std::to_string(report.platform) + " " + std::to_string(report.major) + "." +
                               std::to_string(report.minor) + " " + std::to_string(report.productType));
    }
    // The setting must have reached the children: Wine 8 gives 13 different records for these 15,
    // and tells "win81" and "win10" without a manifest 6.2, while its kernel says 6.3 and 10.0.
    EXPECT_GE(distinctRecords.size(), 10u);
    EXPECT_GE(kernelDiffers, 1);
}

// Runs only as the child of the test above.
TEST(VersionEmulationChild, ReportsTheRecordAndTheAnswers)
{
    const char* reportPath = std::getenv(kReportVariable);
    if (reportPath == nullptr)
        GTEST_SKIP() << "started by VersionEmulation only";
    OSVERSIONINFOEXA record = {};
    record.dwOSVersionInfoSize = sizeof record;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record)));
    std::ofstream out(reportPath);
    OSVERSIONINFOEXA kernel;
    ReadKernelVersion(kernel);
    out << record.dwPlatformId << ' ' << record.dwMajorVersion << ' ' << record.dwMinorVersion << ' '
        << static_cast<unsigned>(record.wProductType) << ' ' << Flag(kIsValidServer) << ' '
        << Flag(kIsValidConsole) << ' ' << Flag(kIsValidAgent) << ' ' << kernel.dwMajorVersion << ' '
        << kernel.dwMinorVersion << '\n';
    out << '[' << Text(kGetVersion) << "]\n";
    out << '[' << record.szCSDVersion << "]\n";
    out << '[' << Text(kGetServicePack) << "]\n";
    out << '[' << ExplainCheck(kCheckCatalog[kGetVersion]).reasonCode << "]\n";
}

}  // namespace
