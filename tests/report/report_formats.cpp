// morvaleth-report's formats, --out and --undetermined as users run them, with one check made
// undetermined by a key that cannot be read. The files it writes into bin\report-formats are read
// afterwards by real readers on the host (check-report-formats).
#include "support/LockedKey.h"
#include "support/Paths.h"
#include "support/Process.h"
#include "support/ScratchKey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Access denied on the key is neither "installed" nor "absent": the check cannot tell.
const char kNet2Key[] = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727";
const char kUndetermined[] = "HasDotNetFramework2";

std::string Folder() { return BesideExecutable("report-formats\\"); }
// Without the trailing backslash, which would escape the closing quote of an argument.
std::string FolderName() { return BesideExecutable("report-formats"); }

int Report(const std::string& arguments, std::string& output)
{
    return RunProcessCapture("\"" + BesideExecutable("morvaleth-report.exe") + "\" " + arguments, output);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> FolderContents()
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((Folder() + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

void ExpectNoTemporaries()
{
    for (const std::string& name : FolderContents())
        EXPECT_EQ(std::string::npos, name.find(".tmp")) << "a temporary left behind: " << name;
}

// check -> "true"/"false" from the plain table.
std::map<std::string, std::string> Flags()
{
    std::string table;
    Report("", table);
    std::map<std::string, std::string> flags;
    std::istringstream lines(table);
    std::string line, name, answer;
    while (std::getline(lines, line))
        if (std::istringstream(line) >> name >> answer && (answer == "true" || answer == "false"))
            flags[name] = answer;
    return flags;
}

class ReportFormats : public testing::Test {
protected:
    void SetUp() override
    {
        existed_ = KeyExists(HKEY_LOCAL_MACHINE, kNet2Key);
        CreateDirectoryA(Folder().c_str(), nullptr);
    }
    void TearDown() override
    {
        if (!existed_)
            RemoveKeyTree(HKEY_LOCAL_MACHINE, kNet2Key);
    }
    bool existed_ = false;
};

// One of each outcome for the readers: a met, an unmet and an undetermined requirement.
TEST_F(ReportFormats, WritesEveryFormatWholeForTheReaders)
{
    std::map<std::string, std::string> flags = Flags();
    std::string yes, no;
    for (const auto& flag : flags) {
        if (flag.first == kUndetermined)
            continue;
        if (flag.second == "true" && yes.empty())
            yes = flag.first;
        if (flag.second == "false" && no.empty())
            no = flag.first;
    }
    ASSERT_FALSE(yes.empty() || no.empty());
    LockedKey locked(HKEY_LOCAL_MACHINE, kNet2Key);
    const std::string requirements =
        " --require " + yes + " --require " + no + " --require " + std::string(kUndetermined) + "=0";
    const struct {
        const char* file;
        const char* format;
    } outputs[] = {{"evidence.json", "evidence"}, {"junit.xml", "junit"}, {"page.html", "html"},
                   {"line.txt", "line"},          {"table.txt", "table --explain"}};
    for (const auto& output : outputs) {
        std::string path = Folder() + output.file, text;
        DeleteFileA(path.c_str());
        EXPECT_EQ(6, Report("--format " + std::string(output.format) + " --out \"" + path + "\"" + requirements, text))
            << output.format << "\n" << text;
        std::string written = ReadFileBytes(path);
        ASSERT_FALSE(written.empty()) << output.format << "\n" << text;
        EXPECT_NE(0, written.compare(0, 3, "\xEF\xBB\xBF")) << output.format << ": a byte-order mark";
        EXPECT_NE(std::string::npos, text.find("not met: " + no)) << text;
        EXPECT_NE(std::string::npos, text.find("undetermined (counted as unmet): " + std::string(kUndetermined)))
            << text;
    }
    // The readers need to know which check was meant to fail.
    std::ofstream(Folder() + "expected.txt") << "met " << yes << "\nunmet " << no << "\nundetermined "
                                             << kUndetermined << "\n";
    std::string table = ReadFileBytes(Folder() + "table.txt");
    EXPECT_NE(std::string::npos, table.find("State")) << table;
    EXPECT_NE(std::string::npos, table.find("Why")) << table;
    EXPECT_EQ(26u + 2u, static_cast<size_t>(std::count(table.begin(), table.end(), '\n'))) << table;
    ExpectNoTemporaries();
}

TEST_F(ReportFormats, UndeterminedRequirementCountsUnmetUnlessPassed)
{
    LockedKey locked(HKEY_LOCAL_MACHINE, kNet2Key);
    const std::string require = std::string(" --require ") + kUndetermined + "=0";
    const struct {
        std::string arguments;
        int status;
        const char* shown;
    } cases[] = {
        {require, 6, "0 of 1 requirements met, 1 undetermined"},
        {require + " --undetermined=pass", 0, "undetermined (counted as met)"},
        {require + " --undetermined=fail", 6, "undetermined (counted as unmet)"},
        {"--json" + require, 6, "\"unmet\": [{\"check\": \"HasDotNetFramework2\", \"required\": false, \"answer\": false}]"},
        {"--json --undetermined=pass" + require, 0, "\"unmet\": []"},
        {"--format line" + require, 6, "UNDETERMINED "},
        {"--explain", 0, "undetermined"},
    };
    for (const auto& c : cases) {
        std::string output;
        EXPECT_EQ(c.status, Report(c.arguments, output)) << c.arguments << "\n" << output;
        EXPECT_NE(std::string::npos, output.find(c.shown)) << c.arguments << ": no \"" << c.shown << "\" in\n" << output;
    }
}

// Every text requirement unmet with a long required text: the one line is cut, never longer.
TEST_F(ReportFormats, LineStaysWithinTheLimit)
{
    std::string arguments = "--format line";
    for (int i = 0; i < 12; ++i)
        arguments += " --require \"GetVersion=" + std::string(250, 'a' + i) + "\"";
    std::string output, path = Folder() + "long-line.txt";
    EXPECT_EQ(6, Report(arguments + " --out \"" + path + "\"", output)) << output;
    std::string line = ReadFileBytes(path);
    DeleteFileA(path.c_str());
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.size() - 1, line.find('\n')) << "one line, ended";
    EXPECT_LE(line.size() - 1, 2048u);
    EXPECT_EQ(0u, line.find("FAIL ")) << line;
    EXPECT_EQ(line.size() - 5, line.rfind(" ...\n")) << line;
}

// Bad input: exit 1, a clear message, and the file named by --out as it was (or still absent).
TEST_F(ReportFormats, BadInputWritesNothing)
{
    const std::string kept = Folder() + "kept.txt", absent = Folder() + "absent.txt";
    const struct {
        std::string arguments;
        int status;
        const char* shown;
    } cases[] = {
        {"--format xml --out \"" + absent + "\"", 1, "unknown format \"xml\""},
        {"--format", 1, "unknown argument"},
        {"--require NoSuchCheck --out \"" + kept + "\"", 1, "no check named \"NoSuchCheck\""},
        {"--out \"" + Folder() + "no-such-folder\\report.json\"", 1, "cannot write --out"},
        {"--out \"" + FolderName() + "\"", 1, "cannot write --out"},
        {"--undetermined=maybe --out \"" + kept + "\"", 1, "--undetermined=pass"},
        {"--json --format html", 1, "two formats"},
        {"--explain --json", 1, "no reasons"},
        {"--export-registration --format evidence", 1, "--export-registration"},
        // Past the options: no component at all, the file still as it was.
        {"--format evidence --dll \"" + Folder() + "no-such\\Morvaleth.DLL\" --out \"" + kept + "\"", 2, "regsvr32"},
    };
    for (const auto& c : cases) {
        std::ofstream(kept, std::ios::binary) << "as it was";
        std::string output;
        EXPECT_EQ(c.status, Report(c.arguments, output)) << c.arguments << "\n" << output;
        EXPECT_NE(std::string::npos, output.find(c.shown)) << c.arguments << ": no \"" << c.shown << "\" in\n" << output;
        EXPECT_EQ("as it was", ReadFileBytes(kept)) << c.arguments;
        EXPECT_FALSE(Exists(absent)) << c.arguments;
    }
    DeleteFileA(kept.c_str());
    ExpectNoTemporaries();
}

}  // namespace
