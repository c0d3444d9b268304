#include "support/RunAgain.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/Process.h"

bool RunCurrentTestAgainWith(const char* variable, const char* value, int seconds)
{
    if (std::getenv(variable) != nullptr)
        return false;
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string command =
        std::string("\"") + self + "\" --gtest_filter=" + test->test_suite_name() + "." + test->name();
    SetEnvironmentVariableA(variable, value);
    std::string output;
    int code = RunProcessCapture(command, output, seconds);
    SetEnvironmentVariableA(variable, nullptr);
    std::fputs(output.c_str(), stdout);
    EXPECT_EQ(0, code) << "the run with " << variable << "=" << value << " failed";
    return true;
}
