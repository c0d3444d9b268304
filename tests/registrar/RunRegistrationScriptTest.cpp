// The interpreter's entry, run on the test executable's own scripts (registrar_tests.rc).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "RegistrarFixture.h"
#include "registrar/RunRegistrationScript.h"
#include "support/ImportHook.h"
#include "support/ScratchKey.h"
#include "support/TaskAllocatorSpy.h"

namespace {

using Lines = std::set<std::string>;

std::string ModuleFileName(HMODULE module)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

std::string ShortPath(const std::string& path)
{
    char shortPath[MAX_PATH] = {};
    DWORD length = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    return length > 0 && length < MAX_PATH ? shortPath : std::string();
}

std::string DoubleQuotes(const std::string& text)
{
    std::string doubled;
    for (char c : text)
        doubled += c == '\'' ? std::string("''") : std::string(1, c);
    return doubled;
}

class RunRegistrationScriptTest : public testing::Test {
protected:
    RedirectedRoots roots;
    HKEY Classes() const { return roots.Scratch(); }
    std::string Registered() const { return GetStringValue(Classes(), "RegistrarModule", nullptr); }
};

TEST_F(RunRegistrationScriptTest, ModuleIsTheShortPathOfTheModulesFile)
{
    HINSTANCE module = GetModuleHandleA(nullptr);
    std::string full = ModuleFileName(nullptr);
    ASSERT_EQ(S_OK, RunRegistrationScript(module, 201, TRUE, nullptr));
    EXPECT_EQ(ShortPath(full), Registered());
    EXPECT_EQ((Lines{"RegistrarModule", "RegistrarModule|@=sz:" + ShortPath(full)}), Tree(Classes()));
    ASSERT_EQ(S_OK, RunRegistrationScript(module, 201, FALSE, nullptr));
    EXPECT_EQ(Lines{}, Tree(Classes()));
}

TEST_F(RunRegistrationScriptTest, QuotesOfTheModulePathAreDoubled)
{
    ModuleCopy copy({"Long Folder Name", "O'K"});
    ASSERT_NE(nullptr, copy.Handle());
    std::string shortPath = ShortPath(ToAnsi(copy.Path()));
    if (shortPath.empty() || shortPath.find(' ') != std::string::npos)
        GTEST_SKIP() << "this file system makes no 8.3 names";
    ASSERT_NE(std::string::npos, shortPath.find("\\O'K\\")) << shortPath;
    HINSTANCE module = copy.Handle();

    ASSERT_EQ(S_OK, RunRegistrationScript(module, 202, TRUE, nullptr));
    EXPECT_EQ(DoubleQuotes(shortPath), GetStringValue(Classes(), "RegistrarModule", "Raw"));
    ASSERT_EQ(S_OK, RunRegistrationScript(module, 201, TRUE, nullptr));
    EXPECT_EQ(shortPath, Registered());
    ASSERT_EQ(S_OK, RunRegistrationScript(module, 201, FALSE, nullptr));
    EXPECT_EQ(Lines{}, Tree(Classes()));
}

TEST_F(RunRegistrationScriptTest, ModuleIsTheFullPathWhenThereIsNoShortForm)
{
    // Forty folders "a b": the short form of each is longer than the name, and the whole
    // short path no longer fits, so GetShortPathNameA fails (Wine makes 8.3 names by hash).
    ModuleCopy copy(std::vector<std::string>(40, "a b"));
    ASSERT_NE(nullptr, copy.Handle());
    std::string full = ToAnsi(copy.Path());
    if (!ShortPath(full).empty())
        GTEST_SKIP() << "this file system has a short form for " << full;
    HINSTANCE module = copy.Handle();
    ASSERT_EQ(S_OK, RunRegistrationScript(module, 201, TRUE, nullptr));
    EXPECT_EQ(full, Registered());
}

// A volume without 8.3 names (turned off, or stripped) gives the long form back.
DWORD WINAPI NoShortNames(LPCWSTR path, LPWSTR shortPath, DWORD size)
{
    DWORD length = static_cast<DWORD>(lstrlenW(path));
    if (length >= size)
        return length + 1;
    lstrcpynW(shortPath, path, static_cast<int>(size));
    return length;
}

// Script and registry are narrow: from a folder named outside the ANSI code page only the short
// form can name the file. Without one, registration fails before it writes anything, where it
// would once have written a path of question marks; unregistration still runs.
TEST_F(RunRegistrationScriptTest, AFolderOutsideTheAnsiCodePageNeedsItsShortForm)
{
    const std::wstring folder = L"\u039C\u03BF\u03C1\u0416";  // Greek and Cyrillic
    if (ToAnsi(folder) != "????")
        GTEST_SKIP() << "this ANSI code page holds " << ToAnsi(folder);
    ModuleCopy copy(WideFolders{{folder}});
    ASSERT_NE(nullptr, copy.Handle());
    wchar_t shortForm[MAX_PATH] = {};
    DWORD length = GetShortPathNameW(copy.Path().c_str(), shortForm, MAX_PATH);
    bool platformShortForm = length > 0 && length < MAX_PATH && Widen(ToAnsi(shortForm)) == shortForm;
    const struct {
        bool shortNames;
        HRESULT expected;
    } rows[] = {
        {true, platformShortForm ? S_OK : HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION)},  // Wine: always
        {false, HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shortNames ? "the platform's short names" : "no short names");
        std::unique_ptr<ImportHook> hook;
        if (!row.shortNames)
            hook.reset(new ImportHook("GetShortPathNameW", reinterpret_cast<void*>(&NoShortNames)));
        EXPECT_EQ(row.expected, RunRegistrationScript(copy.Handle(), 201, TRUE, nullptr));
        Lines written = row.expected == S_OK ? Lines{"RegistrarModule", "RegistrarModule|@=sz:" + ToAnsi(shortForm)}
                                             : Lines{};
        EXPECT_EQ(written, Tree(Classes()));
        EXPECT_EQ(S_OK, RunRegistrationScript(copy.Handle(), 201, FALSE, nullptr));
        EXPECT_EQ(Lines{}, Tree(Classes()));
    }
}

TEST_F(RunRegistrationScriptTest, ModulePathThatDoesNotFitWritesNothing)
{
    ModuleCopy copy(std::vector<std::string>(6, std::string(48, 'f')));
    if (copy.Handle() == nullptr)
        GTEST_SKIP() << "no module can be loaded from a path this long here (Wine can)";
    ASSERT_GE(copy.Path().size(), static_cast<size_t>(MAX_PATH));
    HINSTANCE module = copy.Handle();
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), RunRegistrationScript(module, 201, TRUE, nullptr));
    EXPECT_EQ(Lines{}, Tree(Classes()));
}

TEST_F(RunRegistrationScriptTest, MissingScriptFailsWithTheLoadersError)
{
    HINSTANCE module = GetModuleHandleA(nullptr);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND), RunRegistrationScript(module, 299, TRUE, nullptr));
    // Only the low 16 bits name the resource.
    EXPECT_EQ(S_OK, RunRegistrationScript(module, 0x10000 + 201, TRUE, nullptr));
    Lines expected{"RegistrarModule", "RegistrarModule|@=sz:" + ShortPath(ModuleFileName(nullptr))};
    EXPECT_EQ(expected, Tree(Classes()));
}

TEST_F(RunRegistrationScriptTest, ExtraVariablesFollowModuleUnchanged)
{
    HINSTANCE module = GetModuleHandleA(nullptr);
    // No quote of theirs is doubled: the caller writes them as the script needs them.
    const ScriptVariablePair extra[] = {
        {L"First", L"it''s %Second%"}, {L"second", L"2"}, {L"Module", L"never"}, {nullptr, L"end"}};
    ASSERT_EQ(S_OK, RunRegistrationScript(module, 203, TRUE, extra));
    EXPECT_EQ("it's %Second%|2|" + ShortPath(ModuleFileName(nullptr)),
              GetStringValue(Classes(), "RegistrarExtra", nullptr));
    // A variable that was never given fails where the script names it.
    const ScriptVariablePair partial[] = {{L"First", L"1"}, {nullptr, nullptr}};
    EXPECT_EQ(DISP_E_EXCEPTION, RunRegistrationScript(module, 203, FALSE, partial));
    EXPECT_EQ(S_OK, RunRegistrationScript(module, 203, FALSE, extra));
    EXPECT_EQ(Lines{}, Tree(Classes()));
}

TEST_F(RunRegistrationScriptTest, NulInsideTheResourceEndsTheScript)
{
    HINSTANCE module = GetModuleHandleA(nullptr);
    ASSERT_EQ(S_OK, RunRegistrationScript(module, 204, TRUE, nullptr));
    EXPECT_EQ(Lines{"BeforeNul"}, Tree(Classes()));
}

TEST_F(RunRegistrationScriptTest, NoModuleIsUnexpected)
{
    EXPECT_EQ(E_UNEXPECTED, RunRegistrationScript(nullptr, 201, TRUE, nullptr));
}

TEST_F(RunRegistrationScriptTest, EveryRefusedAllocationFailsWritingNothing)
{
    HINSTANCE module = GetModuleHandleA(nullptr);
    TaskAllocatorSpy& spy = TaskAllocatorSpy::Instance();
    ASSERT_EQ(S_OK, spy.Register());
    long refused = 0;
    for (;; ++refused) {
        spy.Reset(refused);
        HRESULT result = RunRegistrationScript(module, 201, TRUE, nullptr);
        if (!spy.Refused()) {
            spy.Reset();
            EXPECT_EQ(S_OK, result);
            break;
        }
        EXPECT_EQ(E_OUTOFMEMORY, result) << "allocation " << refused;
        EXPECT_EQ(Lines{}, Tree(Classes())) << "allocation " << refused;
        EXPECT_EQ(0u, spy.Outstanding()) << "allocation " << refused;
    }
    EXPECT_EQ(0u, spy.Outstanding());
    spy.Revoke();
    // Module (name, value, entry, table), the text, the expansion (output, name, value), the
    // journal (its block, grown once)
    EXPECT_EQ(10, refused);
}

}  // namespace
