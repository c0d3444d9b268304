// morvaleth-report as users run it: table, JSON, late binding, the unregistered case and the
// registration export, against the early-bound answers of this process.
#include "support/Paths.h"
#include "support/Process.h"
#include "support/RegistrySnapshot.h"
#include "support/ScratchKey.h"

#include "Checks.h"
#include "Output.h"

#include <Morvaleth.h>
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace {

const std::string kClassKey = "CLSID\\{E3541FCC-DCF0-4045-898B-2795D6CD0E87}";
const char* const kClassKeys[] = {"Morvaleth.Validate.7", "Morvaleth.Validate", "CLSID\\{E3541FCC-DCF0-4045-898B-2795D6CD0E87}"};

int Report(const std::string& arguments, std::string& output)
{
    return RunProcessCapture("\"" + BesideExecutable("morvaleth-report.exe") + "\" " + arguments, output);
}

std::string ClassEntries()
{
    std::string all;
    for (const char* key : kClassKeys)
        all += Joined(SnapshotKey(HKEY_CLASSES_ROOT, key));
    return all;
}

void RemoveRegistration()
{
    for (const char* key : kClassKeys)
        RemoveKeyTree(HKEY_CLASSES_ROOT, key);
    RemoveKeyTree(HKEY_CLASSES_ROOT, "TypeLib\\{23DE8B21-CC1D-448D-B825-2C4D4DB8F325}");
    RemoveKeyTree(HKEY_CLASSES_ROOT, "Interface\\{A1BAB43A-0951-4A61-8416-A50590D6683A}");
}

// check -> answer as the report shows it ("true"/"false" or the text).
std::map<std::string, std::string> Expected()
{
    std::map<std::string, std::string> answers;
    IValidate* object = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_Validate, nullptr, CLSCTX_INPROC_SERVER, IID_IValidate,
                                     reinterpret_cast<void**>(&object)));
    if (!object)
        return answers;
    for (const Answer& answer : CallEarlyBound(object))
        answers[ToAnsi(answer.check)] = answer.isText ? ToAnsi(answer.text) : (answer.flag ? "true" : "false");
    object->Release();
    return answers;
}

std::map<std::string, std::string> ParseTable(const std::string& output)
{
    std::map<std::string, std::string> answers;
    size_t heading = output.find("Check ");  // after what standard error said
    std::istringstream lines(heading == std::string::npos ? std::string() : output.substr(heading));
    std::string line;
    std::getline(lines, line);  // heading
    std::getline(lines, line);  // rule
    size_t column = line.find("  ") + 2;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() < column)
            continue;
        std::string name = line.substr(0, line.find(' '));
        answers[name] = line.substr(column);
    }
    return answers;
}

std::map<std::string, std::string> ParseJson(const std::string& output)
{
    std::map<std::string, std::string> answers;
    std::regex member("\"(\\w+)\": (true|false|\"((?:[^\"\\\\]|\\\\.)*)\")");
    for (std::sregex_iterator it(output.begin(), output.end(), member), end; it != end; ++it) {
        std::string value = (*it)[2];
        answers[(*it)[1]] = value[0] == '"' ? (*it)[3].str() : value;
    }
    return answers;
}

class ReportClient : public testing::Test {
protected:
    void SetUp() override
    {
        RemoveRegistration();
        ASSERT_EQ(0, Regsvr32("/s"));
    }
    void TearDown() override
    {
        CoFreeUnusedLibraries();
        Regsvr32("/s /u");
        RemoveRegistration();
    }
};

TEST_F(ReportClient, TableJsonAndLateBindingAgreeWithEarlyBinding)
{
    std::map<std::string, std::string> expected = Expected();
    ASSERT_EQ(26u, expected.size());

    std::string table, json, late, lateJson;
    EXPECT_EQ(0, Report("", table));
    EXPECT_EQ(0, Report("--json", json));
    EXPECT_EQ(0, Report("--late", late));
    EXPECT_EQ(0, Report("--late --json", lateJson));
    EXPECT_EQ(expected, ParseTable(table)) << table;
    EXPECT_EQ(expected, ParseJson(json)) << json;
    EXPECT_EQ(expected, ParseTable(late)) << late;
    EXPECT_EQ(expected, ParseJson(lateJson)) << lateJson;
    // Standard error (merged here) says which DLL answers; nothing else comes before the object.
    EXPECT_EQ(0u, json.find("morvaleth-report: using the registered ")) << json;
    EXPECT_EQ(json.find('\n') + 1, json.find('{')) << json;
}

TEST_F(ReportClient, UnregisteredClassIsReachedThroughTheDllsManifest)
{
    std::map<std::string, std::string> expected = Expected();
    CoFreeUnusedLibraries();
    ASSERT_EQ(0, Regsvr32("/s /u"));
    RemoveRegistration();
    std::string output;
    EXPECT_EQ(0, Report("--late", output));
    EXPECT_NE(std::string::npos, output.find("unregistered " + BesideExecutable("Morvaleth.DLL") + " through its manifest"))
        << output;
    EXPECT_EQ(expected, ParseTable(output));
    EXPECT_TRUE(ClassEntries().empty()) << "the report registered the class";

    // Exit 2 only when no way gives an object.
    EXPECT_EQ(2, Report("--dll \"" + BesideExecutable("no-such-folder\\Morvaleth.DLL") + "\"", output));
    EXPECT_NE(std::string::npos, output.find("regsvr32 Morvaleth.DLL")) << output;
    EXPECT_EQ(1, Report("--no-such-option", output));
    EXPECT_EQ(0, Report("--help", output));
    EXPECT_NE(std::string::npos, output.find("--export-registration")) << output;
}

TEST_F(ReportClient, SaysWhichDllAnswersAndDllWinsOverTheRegistration)
{
    std::string output;
    EXPECT_EQ(0, Report("", output));
    EXPECT_NE(std::string::npos, output.find("using the registered ")) << output;
    std::string twin = BesideExecutable("no-typelib\\Morvaleth.DLL");
    EXPECT_EQ(0, Report("--dll \"" + twin + "\"", output));
    EXPECT_NE(std::string::npos, output.find("unregistered " + twin + " through its manifest (as --dll asked)")) << output;
}

// Requirements built from what this machine answers, so that "met" and "unmet" are known.
TEST_F(ReportClient, RequirementsMetUnmetAndMalformed)
{
    std::map<std::string, std::string> answers = Expected();
    std::string yes, no;
    for (const auto& answer : answers) {
        if (answer.second == "true" && yes.empty())
            yes = answer.first;
        if (answer.second == "false" && no.empty())
            no = answer.first;
    }
    ASSERT_FALSE(yes.empty() || no.empty());
    const std::string pack = answers["GetServicePack"];
    std::string lowerYes = yes;  // names match without regard to case
    for (char& c : lowerYes)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    struct Case {
        std::string arguments;
        int status;
        std::vector<std::string> shown;
    } cases[] = {
        {"--require " + lowerYes + "=1 --require " + no + "=0 --require \"GetServicePack=" + pack + "\"", 0,
         {"3 of 3 requirements met"}},
        {"--require " + no + " --require " + yes + " --require GetVersion=" + answers["GetVersion"] + "x", 6,
         {"not met: " + no + " is false, required true", "not met: GetVersion is \"" + answers["GetVersion"] +
                                                               "\", required \"" + answers["GetVersion"] + "x\"",
          "1 of 3 requirements met"}},
        {"--json --require " + no, 6,
         {"\"unmet\": [{\"check\": \"" + no + "\", \"required\": true, \"answer\": false}]"}},
        {"--json --require " + yes, 0, {"\"unmet\": []"}},
        {"--require NoSuchCheck", 1, {"no check named \"NoSuchCheck\"", "Nothing was checked", "GetASC_x64Version"}},
        {"--require " + yes + "=yes", 1, {"Nothing was checked"}},
        {"--require GetVersion", 1, {"GetVersion=TEXT"}},
        {"--require =1", 1, {"names no check"}},
        {"--require", 1, {"unknown argument"}},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(c.status, Report(c.arguments, output)) << c.arguments << "\n" << output;
        for (const std::string& text : c.shown) {
            EXPECT_NE(std::string::npos, output.find(text)) << c.arguments << ": no \"" << text << "\" in\n" << output;
        }
        if (c.status == 1) {
            EXPECT_EQ(std::string::npos, output.find("using the")) << c.arguments << " checked something";
        }
    }
}

TEST_F(ReportClient, ExportedRegistrationImportsToWhatRegsvr32Writes)
{
    std::string registered = ClassEntries();
    ASSERT_FALSE(registered.empty());

    std::string exported;
    ASSERT_EQ(0, Report("--export-registration", exported));
    EXPECT_EQ(0u, exported.find("REGEDIT4")) << exported;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Morvaleth\\RegistrationExport"));

    // Into a registry without the class: regedit gives back what regsvr32 wrote.
    CoFreeUnusedLibraries();
    ASSERT_EQ(0, Regsvr32("/s /u"));
    RemoveRegistration();
    ASSERT_TRUE(ClassEntries().empty());
    std::string file = BesideExecutable("morvaleth-export.reg");
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    std::string crlf = std::regex_replace(exported, std::regex("\r?\n"), "\r\n");
    DWORD written = 0;
    WriteFile(handle, crlf.data(), static_cast<DWORD>(crlf.size()), &written, nullptr);
    CloseHandle(handle);
    EXPECT_EQ(0, RunProcess("regedit.exe /s \"" + file + "\""));
    DeleteFileA(file.c_str());
    EXPECT_EQ(registered, ClassEntries());
}

}  // namespace
