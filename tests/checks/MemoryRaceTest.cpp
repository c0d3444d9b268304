// Wine fills its memory status once a second into a process-wide cache, unlocked: a thread that
// asks while another fills it for the first time reads a total of 0. Many first readings at once,
// each round in a fresh process, must all give the single-threaded answer.
#include "checks/MachineResources.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/Process.h"

namespace {

const char kExpected[] = "MORVALETH_MEMORY_EXPECTED";
const int kThreads = 16;
const int kRounds = 20;

struct Start {
    HANDLE go;
    DWORD reading;
};

DWORD WINAPI ReadWhenReleased(void* parameter)
{
    Start* start = static_cast<Start*>(parameter);
    WaitForSingleObject(start->go, INFINITE);
    start->reading = ReadTotalPhysicalMemory();
    return 0;
}

// In the fresh process: the threads' first readings, all at once.
void ReadAtOnce(DWORD expected)
{
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, go);
    std::vector<Start> starts(kThreads, Start{go, 0xDEADBEEF});
    std::vector<HANDLE> threads;
    for (Start& start : starts)
        threads.push_back(CreateThread(nullptr, 0, ReadWhenReleased, &start, 0, nullptr));
    Sleep(50);  // every thread waiting
    SetEvent(go);
    WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 30000);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    CloseHandle(go);
    for (int index = 0; index < kThreads; ++index)
        EXPECT_EQ(expected, starts[index].reading) << "thread " << index;
}

TEST(MemoryRace, FirstReadingsAtOnceAgreeWithOne)
{
    if (const char* expected = std::getenv(kExpected)) {
        ReadAtOnce(static_cast<DWORD>(std::strtoul(expected, nullptr, 10)));
        return;
    }
    const DWORD expected = ReadTotalPhysicalMemory();
    ASSERT_NE(0u, expected);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    SetEnvironmentVariableA(kExpected, std::to_string(expected).c_str());
    int failed = 0;
    std::string firstFailure;
    for (int round = 0; round < kRounds; ++round) {
        std::string output;
        int code = RunProcessCapture(std::string("\"") + self + "\" --gtest_filter=MemoryRace.*", output, 120);
        if (code != 0 && failed++ == 0)
            firstFailure = output;
    }
    SetEnvironmentVariableA(kExpected, nullptr);
    EXPECT_EQ(0, failed) << "rounds out of " << kRounds << " with a differing reading; the first:\n" << firstFailure;
}

}  // namespace
