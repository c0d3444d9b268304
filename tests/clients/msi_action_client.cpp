// MorvalethMsi.dll as an installer calls it: its export on a real session of Windows Installer,
// against the answers of Morvaleth.DLL, loaded beside it without registration; and on handles
// that are no session.
#include "support/ImportHook.h"
#include "support/LoadedServer.h"
#include "support/Paths.h"
#include "support/RegistrySnapshot.h"
#include "support/SavedRegistry.h"
#include "support/ScratchKey.h"

#include "Checks.h"

#include <Morvaleth.h>
#include <gtest/gtest.h>
#include <msi.h>
#include <msiquery.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

typedef UINT(__stdcall* CustomAction)(MSIHANDLE);

// What the README promises: "MORVALETH_" and the check's name in capitals.
std::wstring PropertyOf(const wchar_t* check)
{
    std::wstring name = L"MORVALETH_";
    for (const wchar_t* c = check; *c; ++c)
        name += (*c >= L'a' && *c <= L'z') ? static_cast<wchar_t>(*c - L'a' + L'A') : *c;
    return name;
}

std::wstring GetProperty(MSIHANDLE session, const std::wstring& name)
{
    wchar_t value[1024] = {};
    DWORD size = sizeof value / sizeof *value;
    if (MsiGetPropertyW(session, name.c_str(), value, &size) != ERROR_SUCCESS)
        return L"<unreadable>";
    return value;
}

// The INFO lines the session sends to its user interface, as /l*v writes them.
std::vector<std::wstring> g_infoLines;
int WINAPI CollectInfo(void*, UINT type, LPCWSTR message)
{
    if ((type & 0xFF000000) == INSTALLMESSAGE_INFO && message != nullptr)
        g_infoLines.push_back(message);
    return 0;
}

bool Execute(MSIHANDLE database, const wchar_t* query)
{
    MSIHANDLE view = 0;
    if (MsiDatabaseOpenViewW(database, query, &view) != ERROR_SUCCESS)
        return false;
    UINT status = MsiViewExecute(view, 0);
    MsiCloseHandle(view);
    return status == ERROR_SUCCESS;
}

// A package of nothing but its Property table: enough for a session.
class Session : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char folder[MAX_PATH];
        GetTempPathA(sizeof folder, folder);
        path = Widen(std::string(folder) + "morvaleth-msi-client.msi");
        MSIHANDLE database = 0;
        ASSERT_EQ(ERROR_SUCCESS, MsiOpenDatabaseW(path.c_str(), reinterpret_cast<LPCWSTR>(MSIDBOPEN_CREATE), &database));
        EXPECT_TRUE(Execute(database, L"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, "
                                  L"`Value` CHAR(0) NOT NULL LOCALIZABLE PRIMARY KEY `Property`)"));
        EXPECT_TRUE(Execute(database, L"INSERT INTO `Property` (`Property`, `Value`) VALUES "
                                  L"('ProductCode', '{6A1E27C4-5C53-4C0F-9D0B-2F5B0E6B7A11}')"));
        // The platform and language that the installer checks before it opens a package.
        MSIHANDLE summary = 0;
        ASSERT_EQ(ERROR_SUCCESS, MsiGetSummaryInformationW(database, nullptr, 4, &summary));
        MsiSummaryInfoSetPropertyW(summary, 7 /* PID_TEMPLATE */, VT_LPSTR, 0, nullptr,
                                   sizeof(void*) == 8 ? L"x64;1033" : L"Intel;1033");
        MsiSummaryInfoSetPropertyW(summary, 9 /* PID_REVNUMBER */, VT_LPSTR, 0, nullptr,
                                   L"{0C7E9F0A-8F63-4C39-A7F5-7F2A1B3D4E55}");
        MsiSummaryInfoSetPropertyW(summary, 14 /* PID_PAGECOUNT */, VT_I4, 200, nullptr, nullptr);
        MsiSummaryInfoSetPropertyW(summary, 15 /* PID_WORDCOUNT */, VT_I4, 2, nullptr, nullptr);
        EXPECT_EQ(ERROR_SUCCESS, MsiSummaryInfoPersist(summary));
        MsiCloseHandle(summary);
        EXPECT_EQ(ERROR_SUCCESS, MsiDatabaseCommit(database));
        MsiCloseHandle(database);
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        MsiSetExternalUIW(CollectInfo, INSTALLLOGMODE_INFO, nullptr);
    }
    static void TearDownTestSuite()
    {
        MsiSetExternalUIW(nullptr, 0, nullptr);
        DeleteFileW(path.c_str());
    }
    void SetUp() override
    {
        action_ = LoadLibraryA(BesideExecutable("MorvalethMsi.dll").c_str());
        ASSERT_NE(nullptr, action_);
        // Found by its plain name, as the CustomAction table names it.
        checks = reinterpret_cast<CustomAction>(reinterpret_cast<void*>(GetProcAddress(action_, "MorvalethChecks")));
        ASSERT_NE(nullptr, checks);
        ASSERT_EQ(ERROR_SUCCESS, MsiOpenPackageW(path.c_str(), &session));
        g_infoLines.clear();
    }
    void TearDown() override
    {
        if (session)
            MsiCloseHandle(session);
        if (action_)
            FreeLibrary(action_);
    }
    std::vector<Answer> ComponentAnswers()
    {
        std::vector<Answer> answers;
        LoadedServer server;
        IValidate* object = nullptr;
        EXPECT_EQ(S_OK, server.CreateValidate(IID_IValidate, reinterpret_cast<void**>(&object)));
        if (object) {
            answers = CallEarlyBound(object);
            object->Release();
        }
        return answers;
    }

    static std::wstring path;
    MSIHANDLE session = 0;
    CustomAction checks = nullptr;

private:
    HMODULE action_ = nullptr;
};
std::wstring Session::path;

// Read by GetSCEPath in the 64-bit view (the only view of a 32-bit prefix).
const char kSceSetup[] = "SOFTWARE\\Microsoft\\Microsoft Operations Manager\\3.0\\Setup";

TEST_F(Session, PublishesWhatTheComponentAnswersAndWritesNoKey)
{
    // Brackets in an answer must reach the property and the log as they are.
    HKEY setup = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSceSetup, 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &setup, nullptr));
    const char directory[] = "C:\\{[ProductCode]}\\Essentials";
    RegSetValueExA(setup, "InstallDirectory", 0, REG_SZ, reinterpret_cast<const BYTE*>(directory), sizeof directory);
    RegCloseKey(setup);

    // Stale values, as from a command line: each must give way to the machine's answer.
    for (const wchar_t* check : CheckNames())
        ASSERT_EQ(ERROR_SUCCESS, MsiSetPropertyW(session, PropertyOf(check).c_str(), L"stale"));
    std::vector<Answer> expected = ComponentAnswers();
    ASSERT_EQ(26u, expected.size());

    std::string before = Joined(SnapshotKey(HKEY_LOCAL_MACHINE, "SOFTWARE")) +
                         Joined(SnapshotKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet")) +
                         Joined(SnapshotKey(HKEY_CURRENT_USER, "Software"));
    EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), checks(session));
    std::string after = Joined(SnapshotKey(HKEY_LOCAL_MACHINE, "SOFTWARE")) +
                        Joined(SnapshotKey(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet")) +
                        Joined(SnapshotKey(HKEY_CURRENT_USER, "Software"));
    EXPECT_TRUE(before == after) << "the action changed the registry";
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kSceSetup, KEY_WOW64_64KEY, 0);

    ASSERT_EQ(26u, g_infoLines.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Answer& answer = expected[i];
        std::wstring property = PropertyOf(answer.check);
        std::wstring want = answer.isText ? answer.text : (answer.flag ? L"1" : L"");
        EXPECT_EQ(want, GetProperty(session, property)) << ToAnsi(property);
        std::wstring shown = answer.isText ? L"\"" + answer.text + L"\"" : (answer.flag ? L"1" : L"0");
        std::wstring outcome = want.empty() ? property + L" left unset" : property + L"=" + want;
        // Then the state, the reason code and reason (also published as _WHY), and the readings.
        std::wstring why = GetProperty(session, property + L"_WHY");
        EXPECT_FALSE(why.empty()) << ToAnsi(property);
        const std::wstring& line = g_infoLines[i];
        std::wstring start = L"Morvaleth: " + std::wstring(answer.check) + L" = " + shown + L"; " + outcome + L"; ";
        EXPECT_EQ(start, line.substr(0, start.size()));
        std::wstring rest = line.substr(std::min(start.size(), line.size()));
        EXPECT_TRUE(rest.rfind(L"determined, ", 0) == 0 || rest.rfind(L"undetermined, ", 0) == 0) << ToAnsi(rest);
        EXPECT_NE(std::wstring::npos, rest.find(L": " + why + L"; readings: ")) << ToAnsi(rest);
    }
    EXPECT_EQ(L"C:\\{[ProductCode]}\\Essentials", GetProperty(session, L"MORVALETH_GETSCEPATH"));
    EXPECT_NE(std::wstring::npos, g_infoLines[20].find(L"InstallDirectory = \"C:\\{[ProductCode]}\\Essentials\""))
        << ToAnsi(g_infoLines[20]);
}

// A package as an author writes one: the action before LaunchConditions and a condition whose
// message names the reason. Wine's installer shows a refused condition's message only in a message
// box (nothing in the log, and nothing at all under /qn; docs/PLATFORM.md), so the install runs with
// the basic interface and the box that the installer raises is caught in its own import table.
std::vector<std::wstring> g_messageBoxes;
int WINAPI CatchMessageBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    g_messageBoxes.push_back(text != nullptr ? text : L"<null>");
    return IDOK;
}

bool CreateGatedPackage(const std::wstring& path, const std::string& action)
{
    MSIHANDLE database = 0;
    if (MsiOpenDatabaseW(path.c_str(), reinterpret_cast<LPCWSTR>(MSIDBOPEN_CREATE), &database) != ERROR_SUCCESS)
        return false;
    const wchar_t* const statements[] = {
        L"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` CHAR(0) NOT NULL LOCALIZABLE "
        L"PRIMARY KEY `Property`)",
        L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductCode', '{3D5B0F3E-7A51-4E0B-9C83-1B2D6E4F5A70}')",
        L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductName', 'Morvaleth gated test')",
        L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductVersion', '1.0.0')",
        L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('Manufacturer', 'Morvaleth')",
        L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductLanguage', '1033')",
        L"CREATE TABLE `Binary` (`Name` CHAR(72) NOT NULL, `Data` OBJECT NOT NULL PRIMARY KEY `Name`)",
        L"CREATE TABLE `CustomAction` (`Action` CHAR(72) NOT NULL, `Type` SHORT NOT NULL, `Source` CHAR(72), "
        L"`Target` CHAR(255) PRIMARY KEY `Action`)",
        L"INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES "
        L"('MorvalethChecks', 1, 'MorvalethMsi', 'MorvalethChecks')",
        L"CREATE TABLE `LaunchCondition` (`Condition` CHAR(255) NOT NULL, `Description` CHAR(255) NOT NULL "
        L"LOCALIZABLE PRIMARY KEY `Condition`)",
        L"INSERT INTO `LaunchCondition` (`Condition`, `Description`) VALUES ('MORVALETH_HASDOTNETFRAMEWORK2', "
        L"'This product needs .NET Framework 2.0: [MORVALETH_HASDOTNETFRAMEWORK2_WHY]')",
        L"CREATE TABLE `InstallExecuteSequence` (`Action` CHAR(72) NOT NULL, `Condition` CHAR(255), "
        L"`Sequence` SHORT PRIMARY KEY `Action`)",
        L"INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('MorvalethChecks', 1)",
        L"INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('LaunchConditions', 2)",
    };
    bool made = true;
    for (const wchar_t* statement : statements)
        made = made && Execute(database, statement);
    MSIHANDLE view = 0, record = MsiCreateRecord(1);
    made = made && MsiDatabaseOpenViewW(database, L"INSERT INTO `Binary` (`Name`, `Data`) VALUES ('MorvalethMsi', ?)",
                                        &view) == ERROR_SUCCESS;
    made = made && MsiRecordSetStreamW(record, 1, Widen(action).c_str()) == ERROR_SUCCESS &&
           MsiViewExecute(view, record) == ERROR_SUCCESS;
    MsiCloseHandle(view);
    MsiCloseHandle(record);
    MSIHANDLE summary = 0;
    if (MsiGetSummaryInformationW(database, nullptr, 4, &summary) == ERROR_SUCCESS) {
        MsiSummaryInfoSetPropertyW(summary, 7, VT_LPSTR, 0, nullptr, sizeof(void*) == 8 ? L"x64;1033" : L"Intel;1033");
        MsiSummaryInfoSetPropertyW(summary, 9, VT_LPSTR, 0, nullptr, L"{5C0E1D2B-4A3F-4E6D-8B7C-9A0B1C2D3E4F}");
        MsiSummaryInfoSetPropertyW(summary, 14, VT_I4, 200, nullptr, nullptr);
        MsiSummaryInfoSetPropertyW(summary, 15, VT_I4, 2, nullptr, nullptr);
        made = made && MsiSummaryInfoPersist(summary) == ERROR_SUCCESS;
        MsiCloseHandle(summary);
    }
    made = made && MsiDatabaseCommit(database) == ERROR_SUCCESS;
    MsiCloseHandle(database);
    return made;
}

TEST(LaunchCondition, ARefusedInstallSaysWhatWasFound)
{
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    std::wstring path = Widen(std::string(folder) + "morvaleth-gated-test.msi");
    DeleteFileW(path.c_str());
    ASSERT_TRUE(CreateGatedPackage(path, BesideExecutable("MorvalethMsi.dll")));
    SavedKey dotNet(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727");
    dotNet.Remove();

    HMODULE msi = GetModuleHandleA("msi.dll");
    ASSERT_NE(nullptr, msi);
    ImportHook box("MessageBoxW", reinterpret_cast<void*>(CatchMessageBox), msi);
    ASSERT_TRUE(box.Installed());
    INSTALLUILEVEL previous = MsiSetInternalUI(INSTALLUILEVEL_BASIC, nullptr);
    g_messageBoxes.clear();
    UINT status = MsiInstallProductW(path.c_str(), L"");
    MsiSetInternalUI(previous, nullptr);
    DeleteFileW(path.c_str());

    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), status);
    ASSERT_EQ(1u, g_messageBoxes.size());
    // Wine 8's installer engine itself creates the key, empty, in the calling thread before the
    // first action (seen with WINEDEBUG=+reg; msiexec's own process does not), so the action finds
    // either no key or one without Install: both say what was found.
    const std::wstring& shown = g_messageBoxes[0];
    const std::wstring key = L"This product needs .NET Framework 2.0: HKLM\\SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727 ";
    EXPECT_TRUE(shown == key + L"not found: .NET Framework 2.0 is not installed" ||
                shown == key + L"holds no Install: .NET Framework 2.0 is not installed")
        << ToAnsi(shown);
}

// Handles an installer would never pass, and one that a caller closed: an error, never a crash,
// and nothing published.
TEST_F(Session, RefusesWhatIsNoSession)
{
    MSIHANDLE record = MsiCreateRecord(1);
    MSIHANDLE database = MsiGetActiveDatabase(session);
    MSIHANDLE closed = 0;
    ASSERT_EQ(ERROR_SUCCESS, MsiOpenPackageW(path.c_str(), &closed));
    MsiCloseHandle(closed);
    const struct {
        const char* what;
        MSIHANDLE handle;
    } cases[] = {
        {"null", 0}, {"never issued", 0x7FFFFFFF}, {"all bits", static_cast<MSIHANDLE>(-1)},
        {"closed session", closed}, {"record", record}, {"database", database},
    };
    g_infoLines.clear();
    for (const auto& bad : cases)
        EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_HANDLE), checks(bad.handle)) << bad.what;
    EXPECT_TRUE(g_infoLines.empty());
    MsiCloseHandle(record);
    MsiCloseHandle(database);
}

// The figure for docs/EVIDENCE.md: one call of the action, all 26 answers published and logged,
// interleaved with the 26 early-bound calls of Morvaleth.DLL that answer the same questions and,
// when MORVALETH_MSI_BASELINE names another build of the action (one without readings), with a
// call of that one on the same session. MORVALETH_MSI_RUNS sets the number of calls (default 15).
TEST_F(Session, TimeForAllAnswers)
{
    int runs = 15;
    if (const char* text = std::getenv("MORVALETH_MSI_RUNS"))
        runs = std::max(1, std::atoi(text));
    HMODULE baselineModule = nullptr;
    CustomAction baseline = nullptr;
    if (const char* other = std::getenv("MORVALETH_MSI_BASELINE")) {
        baselineModule = LoadLibraryA(other);
        ASSERT_NE(nullptr, baselineModule) << other;
        baseline = reinterpret_cast<CustomAction>(
            reinterpret_cast<void*>(GetProcAddress(baselineModule, "MorvalethChecks")));
        ASSERT_NE(nullptr, baseline);
    }
    LoadedServer server;
    IValidate* object = nullptr;
    ASSERT_EQ(S_OK, server.CreateValidate(IID_IValidate, reinterpret_cast<void**>(&object)));
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    auto elapsedMs = [&] {
        return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    };
    auto time = [&](CustomAction action, std::vector<double>& into) {
        QueryPerformanceCounter(&start);
        UINT status = action(session);
        QueryPerformanceCounter(&end);
        EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), status);
        into.push_back(elapsedMs());
    };
    std::vector<double> action, without, component, ratios;
    for (int i = 0; i < runs; ++i) {
        time(checks, action);
        if (baseline != nullptr) {
            time(baseline, without);
            ratios.push_back(action.back() / without.back());
        }
        QueryPerformanceCounter(&start);
        std::vector<Answer> answers = CallEarlyBound(object);
        QueryPerformanceCounter(&end);
        component.push_back(elapsedMs());
    }
    object->Release();
    auto median = [](std::vector<double>& values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    double actionMedian = median(action), componentMedian = median(component);
    std::printf("custom action, all 26 answers (%d-bit): median %.3f ms, min %.3f, max %.3f over %d calls; "
                "Morvaleth.DLL early-bound, the same 26: median %.3f ms, min %.3f, max %.3f\n",
                static_cast<int>(sizeof(void*) * 8), actionMedian, action.front(), action.back(), runs,
                componentMedian, component.front(), component.back());
    if (baseline != nullptr) {
        double withoutMedian = median(without), ratioMedian = median(ratios);
        std::printf("baseline action (no readings): median %.3f ms, min %.3f, max %.3f; with readings / without: "
                    "%.3fx (ratio of medians), paired median %.3fx\n",
                    withoutMedian, without.front(), without.back(), actionMedian / withoutMedian, ratioMedian);
        FreeLibrary(baselineModule);
    }
}

}  // namespace
