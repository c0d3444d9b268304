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

// What the checks answered, as one comparable text.
std::wstring Describe(const std::vector<Answer>& answers)
{
    std::wstring text;
    for (const Answer& answer : answers) {
        wchar_t result[16];
        swprintf(result, 16, L"%08lx", static_cast<unsigned long>(answer.result));
        text += std::wstring(answer.check) + L"=" + result + L":";
        text += answer.isText ? (answer.textWasNull ? L"<null>" : answer.text) : std::to_wstring(answer.rawFlag);
        text += L"\n";
    }
    return text;
}

struct Load {
    GetClassObject getClassObject = nullptr;
    long objectsPerThread = 0;
    std::wstring expected;  // the answers of the first object, early- and late-bound alike
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

// The answers of one object, early-bound and late-bound, or empty when something failed.
std::wstring CallEveryCheck(IValidate* object)
{
    std::wstring early = Describe(CallEarlyBound(object));
    std::wstring late = Describe(CallLateBound(object));
    return early == late ? early : std::wstring();
}

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
            if (CallEveryCheck(object) != load.expected)
                load.Fail("an object answered otherwise than the first");
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

TEST_F(LoadClient, EightApartmentsMakeAndCallObjectsAndLeaveNothingBehind)
{
    if (RunCurrentTestAgainWith("OANOCACHE", "1", 24 * 3600))
        return;

    long total = static_cast<long>(Setting("MORVALETH_LOAD_OBJECTS", Setting("MORVALETH_LONG", 0) ? 1000000 : 100000));
    load.objectsPerThread = total / kThreads;

    // The first object's answers are the ones that every object must give.
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, load.getClassObject(CLSID_Validate, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    IValidate* first = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IValidate, reinterpret_cast<void**>(&first)));
    load.expected = CallEveryCheck(first);
    ASSERT_FALSE(load.expected.empty()) << "the first object answered differently by name";
    first->Release();
    factory->Release();
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

    EXPECT_EQ(0, load.failures.load()) << load.firstFailure;
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
