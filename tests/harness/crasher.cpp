// Ends in the way its argument names, so that the suite can prove that the runner fails every
// such end: a crash with and without a second thread, and a GoogleTest-like run cut short.
#include <windows.h>
#include <cstdio>
#include <cstring>

namespace {

DWORD WINAPI Idle(LPVOID) { return 0; }

void RunSecondThread()
{
    HANDLE thread = CreateThread(nullptr, 0, Idle, nullptr, 0, nullptr);
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

void Crash()
{
    // A volatile pointer: the compiler may neither see that it is null nor drop the store.
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* mode = argc > 1 ? argv[1] : "";
    std::printf("crasher: %s\n", mode);
    std::fflush(stdout);
    if (!std::strcmp(mode, "crash")) {
        Crash();
    } else if (!std::strcmp(mode, "crash-after-thread")) {
        RunSecondThread();
        Crash();
    } else if (!std::strcmp(mode, "gtest-cut-short")) {
        // What a test program prints before a test that leaves the process early.
        std::printf("[==========] Running 1 test from 1 test suite.\n[ RUN      ] Harness.EndsEarly\n");
        std::fflush(stdout);
        RunSecondThread();
        ExitProcess(0);
    } else if (!std::strcmp(mode, "gtest-whole")) {
        std::printf("[==========] Running 1 test from 1 test suite.\n[ RUN      ] Harness.Ends\n"
                    "[       OK ] Harness.Ends (0 ms)\n[==========] 1 test from 1 test suite ran. (0 ms total)\n"
                    "[  PASSED  ] 1 test.\n");
    }
    return 0;
}
