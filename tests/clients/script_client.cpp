// After regsvr32, VBScript and JScript call every check by name through Wine's cscript; their
// answers must equal those of an early-bound call in this process.
#include "support/Paths.h"
#include "support/Process.h"
#include "support/ScratchKey.h"
#include "Checks.h"

#include <Morvaleth.h>
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace {

class ScriptClient : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, Regsvr32("/s")); }
    static void TearDownTestSuite()
    {
        CoFreeUnusedLibraries();
        EXPECT_EQ(0, Regsvr32("/s /u"));
    }

    // What an early-bound caller gets, as the scripts print it.
    static std::map<std::string, std::string> EarlyBoundAnswers()
    {
        std::map<std::string, std::string> answers;
        IValidate* object = nullptr;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_Validate, nullptr, CLSCTX_INPROC_SERVER, IID_IValidate,
                                         reinterpret_cast<void**>(&object)));
        if (!object)
            return answers;
        for (const Answer& answer : CallEarlyBound(object))
            answers[ToAnsi(answer.check)] = answer.isText ? ToAnsi(answer.text) : std::to_string(answer.rawFlag);
        object->Release();
        return answers;
    }

    static void RunScript(const std::string& file)
    {
        std::string output;
        int code = RunProcessCapture("cscript.exe //nologo \"" + BesideExecutable(file) + "\"", output);
        SCOPED_TRACE(output);
        EXPECT_EQ(0, code);
        std::smatch verdict;
        ASSERT_TRUE(std::regex_search(output, verdict, std::regex("(\\d+) passed, (\\d+) failed")));
        EXPECT_GT(std::stoi(verdict[1]), 26);
        EXPECT_EQ("0", verdict[2].str());

        std::map<std::string, std::string> fromScript;
        std::istringstream lines(output);
        std::string line;
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::smatch answer;
            if (std::regex_match(line, answer, std::regex("answer (\\S+) ?(.*)")))
                fromScript[answer[1]] = answer[2];
        }
        EXPECT_EQ(EarlyBoundAnswers(), fromScript);
    }
};

TEST_F(ScriptClient, VBScriptCallsEveryCheckByName) { RunScript("check_all.vbs"); }

TEST_F(ScriptClient, JScriptCallsEveryCheckByName) { RunScript("check_all.js"); }

// The samples that users start from run and finish cleanly.
TEST_F(ScriptClient, SamplesRun)
{
    for (const char* sample : {"samples\\check.vbs", "samples\\check.js"}) {
        std::string output;
        EXPECT_EQ(0, RunProcessCapture("cscript.exe //nologo \"" + BesideExecutable(sample) + "\"", output)) << sample;
        EXPECT_NE(std::string::npos, output.find("GetASC_x64Version")) << sample << "\n" << output;
        EXPECT_NE(std::string::npos, output.find("This machine")) << sample << "\n" << output;
    }
}

}  // namespace
