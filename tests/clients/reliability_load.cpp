// Sees only Morvaleth.DLL. Eight threads, each in a single-threaded apartment of its own, make
// Validate objects through the class object of the loaded DLL, call every check early-bound
// through IValidate and by name through IDispatch, and release them. No call may fail or answer
// otherwise than the first object did; at the end the module holds no lock (DllCanUnloadNow),
// and the process's handles and the task allocator's outstanding blocks are what they were.
//
// MORVALETH_LOAD_OBJECTS  objects in all (default 100,000, about two minutes under Wine;
//                         1,000,000 with MORVALETH_LONG=1)
//
// The automation string cache keeps freed strings in the task allocator, which would hide the
// balance; it is off only when OANOCACHE is set before the process starts, so the test runs
// itself again with it set. Wine 8's GetProcessHandleCount answers 0: the handles are counted
// from the handle table instead (support/HandleCensus).
//
// Wine 8's GetVolumeInformationA fails with ERROR_ACCESS_DENIED from about its 247,000th call in
// a process (docs/PLATFORM.md), and each object asks it twice (IsWindowsDriveNTFS, early- and
// late-bound). The objects are therefore spread over processes of at most kObjectsPerProcess;
// every process compares each object with the first object of the first process, whose answers
// it is handed in MORVALETH_LOAD_EXPECTED.
#include "support/HandleCensus.h"
#include "support/Paths.h"
#include "support/RunAgain.h"
#include "support/RedirectedRoot.h"
#include "support/TaskAllocatorBalance.h"
#include "Checks.h"

#include <Morvaleth.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace {

typedef HRESULT(STDAPICALLTYPE* PlainExport)();
typedef HRESULT(STDAPICALLTYPE* GetClassObject)(REFCLSID, REFIID, void**);

const int kThreads = 8;

unsigned long Setting(const char* name, unsigned long fallback)
{
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoul(text, nullptr, 0) : fallback;
}

const long kObjectsPerProcess = 100000;
const wchar_t kSeparator = L'\x1f';

// One rendered answer per check, in the interface's order.
typedef std::vector<std::wstring> Answers;

std::wstring Render(const Answer& answer)
{
    wchar_t result[16];
    swprintf(result, 16, L"%08lx:", static_cast<unsigned long>(answer.result));
    return result + (answer.isText ? (answer.textWasNull ? L"<null>" : answer.text) : std::to_wstring(answer.rawFlag));
}

Answers Rendered(const std::vector<Answer>& answers)
{
    Answers rendered;
    for (const Answer& answer : answers)
        rendered.push_back(Render(answer));
    return rendered;
}

// The first check that answers otherwise than `expected`, named with both answers; empty if none.
std::string Difference(const char* binding, const std::vector<Answer>& got, const Answers& expected)
{
    if (got.size() != expected.size())
        return std::string(binding) + ": " + std::to_string(got.size()) + " answers instead of " +
               std::to_string(expected.size());
    for (size_t index = 0; index < got.size(); ++index) {
        std::wstring answer = Render(got[index]);
        if (answer != expected[index])
            return ToAnsi(got[index].check) + " answered " + ToAnsi(answer) + " " + binding + ", the first object " +
                   ToAnsi(expected[index]);
    }
    return std::string();
}

// Both bindings of one object against the expected answers.
std::string CheckObject(IValidate* object, const Answers& expected)
{
    std::string difference = Difference("early-bound", CallEarlyBound(object), expected);
    return difference.empty() ? Difference("late-bound", CallLateBound(object), expected) : difference;
}

std::wstring Encode(const Answers& answers)
{
    std::wstring text;
    for (const std::wstring& answer : answers)
        text += answer + kSeparator;
    return text;
}

Answers Decode(const std::wstring& text)
{
    Answers answers;
    size_t start = 0;
    for (size_t end; (end = text.find(kSeparator, start)) != std::wstring::npos; start = end + 1)
        answers.push_back(text.substr(start, end - start));
    return answers;
}

// The answers handed in by the parent process, or none.
Answers HandedIn()
{
    std::vector<wchar_t> text(32768, L'\0');
    DWORD length = GetEnvironmentVariableW(L"MORVALETH_LOAD_EXPECTED", text.data(), static_cast<DWORD>(text.size()));
    return length > 0 && length < text.size() ? Decode(std::wstring(text.data(), length)) : Answers();
}

struct Load {
    GetClassObject getClassObject = nullptr;
    long objectsPerThread = 0;
    Answers expected;  // the answers of the first object, early- and late-bound alike
    std::atomic<long> objects{0};
    std::atomic<long> failures{0};
    std::mutex lock;
    std::string firstFailure;

    void Fail(const std::string& what)
    {
        if (failures++ == 0) {
            std::lock_guard<std::mutex> holding(lock);
            firstFailure = what;
        }
    }
};

DWORD WINAPI Work(void* parameter)
{
    Load& load = *static_cast<Load*>(parameter);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        load.Fail("CoInitializeEx failed");
        return 1;
    }
    IClassFactory* factory = nullptr;
    HRESULT result = load.getClassObject(CLSID_Validate, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(result) || factory == nullptr) {
        load.Fail("DllGetClassObject failed");
    } else {
        for (long i = 0; i < load.objectsPerThread; ++i) {
            IValidate* object = nullptr;
            result = factory->CreateInstance(nullptr, IID_IValidate, reinterpret_cast<void**>(&object));
            if (FAILED(result) || object == nullptr) {
                load.Fail("CreateInstance failed");
                continue;
            }
            std::string difference = CheckObject(object, load.expected);
            if (!difference.empty())
                load.Fail("object " + std::to_string(load.objects.load() + 1) + ": " + difference);
            if (object->Release() != 0)
                load.Fail("the last Release left a reference");
            ++load.objects;
        }
        factory->Release();
    }
    CoUninitialize();
    return 0;
}

// Runs `threads` threads of Work and waits for them; their handles are closed before it returns.
void RunThreads(Load& load, int threads)
{
    std::vector<HANDLE> handles;
    for (int i = 0; i < threads; ++i)
        handles.push_back(CreateThread(nullptr, 0, Work, &load, 0, nullptr));
    WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, INFINITE);
    for (HANDLE handle : handles)
        CloseHandle(handle);
}

class LoadClient : public testing::Test {
protected:
    void SetUp() override
    {
        dll = LoadLibraryA(BesideExecutable("Morvaleth.DLL").c_str());
        ASSERT_NE(nullptr, dll);
        canUnloadNow = reinterpret_cast<PlainExport>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
        load.getClassObject =
            reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
        registerServer =
            reinterpret_cast<PlainExport>(reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
        unregisterServer =
            reinterpret_cast<PlainExport>(reinterpret_cast<void*>(GetProcAddress(dll, "DllUnregisterServer")));
        ASSERT_TRUE(canUnloadNow && load.getClassObject && registerServer && unregisterServer);
        // The type library that late binding loads, registered beneath the scratch classes root.
        ASSERT_EQ(S_OK, registerServer());
    }
    void TearDown() override
    {
        if (unregisterServer) {
            EXPECT_EQ(S_OK, unregisterServer());
        }
        if (dll)
            FreeLibrary(dll);
    }

    RedirectedRoot classes{HKEY_CLASSES_ROOT, "Software\\MorvalethTests\\ReliabilityLoad"};
    HMODULE dll = nullptr;
    PlainExport canUnloadNow = nullptr;
    PlainExport registerServer = nullptr;
    PlainExport unregisterServer = nullptr;
    Load load;
};

// The answers of a new object through the DLL's class object, checked late-bound as well.
Answers FirstAnswers(GetClassObject getClassObject)
{
    IClassFactory* factory = nullptr;
    IValidate* first = nullptr;
    Answers answers;
    if (SUCCEEDED(getClassObject(CLSID_Validate, IID_IClassFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateInstance(nullptr, IID_IValidate, reinterpret_cast<void**>(&first)))) {
        answers = Rendered(CallEarlyBound(first));
        std::string difference = CheckObject(first, answers);
        EXPECT_EQ("", difference) << "the first object by name";
        first->Release();
    }
    if (factory != nullptr)
        factory->Release();
    return answers;
}

TEST_F(LoadClient, EightApartmentsMakeAndCallObjectsAndLeaveNothingBehind)
{
    long total = static_cast<long>(Setting("MORVALETH_LOAD_OBJECTS", Setting("MORVALETH_LONG", 0) ? 1000000 : 100000));
    if (std::getenv("OANOCACHE") == nullptr) {
        Answers expected = FirstAnswers(load.getClassObject);
        ASSERT_FALSE(expected.empty());
        ASSERT_TRUE(SetEnvironmentVariableW(L"MORVALETH_LOAD_EXPECTED", Encode(expected).c_str()));
        for (long done = 0; done < total; done += kObjectsPerProcess) {
            long share = total - done < kObjectsPerProcess ? total - done : kObjectsPerProcess;
            SetEnvironmentVariableA("MORVALETH_LOAD_OBJECTS", std::to_string(share).c_str());
            RunCurrentTestAgainWith("OANOCACHE", "1", 24 * 3600);
        }
        return;
    }
    load.objectsPerThread = total / kThreads;

    // The first object's answers are the ones that every object of every process must give.
    load.expected = HandedIn();
    if (load.expected.empty())
        load.expected = FirstAnswers(load.getClassObject);
    ASSERT_FALSE(load.expected.empty());
    ASSERT_EQ(S_OK, canUnloadNow());

    // A first round starts what the platform keeps for the life of the process (apartment
    // machinery, the loaded type library, the automation library's caches).
    Load warm;
    warm.getClassObject = load.getClassObject;
    warm.objectsPerThread = 20;
    warm.expected = load.expected;
    RunThreads(warm, kThreads);
    ASSERT_EQ(0, warm.failures.load()) << warm.firstFailure;

    TaskAllocatorBalance& spy = TaskAllocatorBalance::Instance();
    ASSERT_EQ(S_OK, spy.Register());
    long handlesBefore = ProcessHandleCount();
    auto start = std::chrono::steady_clock::now();
    RunThreads(load, kThreads);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long handlesAfter = ProcessHandleCount();
    long outstanding = spy.Outstanding();
    long allocations = spy.Allocations();

    EXPECT_EQ(0, load.failures.load()) << load.failures.load() << " failures; the first: " << load.firstFailure;
    EXPECT_EQ(load.objectsPerThread * kThreads, load.objects.load());
    EXPECT_EQ(S_OK, canUnloadNow()) << "a lock of the module is still held";
    EXPECT_EQ(handlesBefore, handlesAfter) << "handles of the process";
    EXPECT_EQ(0, outstanding) << "blocks of the task allocator not given back, of " << allocations;
    std::printf("load: %ld objects on %d threads in %.1f s (%.0f objects/s, %.0f calls/s); handles %ld before, %ld "
                "after; task allocator: %ld allocations, %ld outstanding\n",
                load.objects.load(), kThreads, seconds, load.objects.load() / seconds,
                load.objects.load() * 52 / seconds, handlesBefore, handlesAfter, allocations, outstanding);
}

}  // namespace
