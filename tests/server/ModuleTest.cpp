// The module record: start-up, shut-down, class lookup and the shutdown callbacks.
#include "server/CachedClassFactory.h"
#include "dll/ClassTable.h"
#include "dll/LibraryApp.h"
#include "server/ServerModule.h"
#include "dll/ValidateInstance.h"
#include "support/CountingAllocator.h"

#include <Morvaleth.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Trace {
    std::string calls;
};
Trace g_trace;

void Record(DWORD_PTR argument) { g_trace.calls += static_cast<char>(argument); }

int g_creations = 0;
HRESULT CountingCreator(InstanceCreator creator, REFIID iid, void** out)
{
    ++g_creations;
    return CreateClassFactory(creator, iid, out);
}
HRESULT FailingCreator(InstanceCreator, REFIID, void** out)
{
    *out = nullptr;
    return E_OUTOFMEMORY;
}
void StartStop(bool starting) { g_trace.calls += starting ? "+" : "-"; }
const char* NoText() { return nullptr; }
const CategoryEntry* NoTable() { return nullptr; }

const int kMeetingThreads = 8;

const CLSID kOther = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};

class ModuleTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_trace.calls.clear();
        g_creations = 0;
        ASSERT_EQ(S_OK, ServerModule::Startup(&module, table, GetModuleHandleA(nullptr)));
    }
    void TearDown() override
    {
        if (!shutDown)
            ServerModule::Shutdown(&module);
    }
    ClassEntry table[3] = {
        {&CLSID_Validate, nullptr, CountingCreator, CreateValidateInstance, nullptr, NoText, NoTable, StartStop},
        {&kOther, nullptr, nullptr, CreateValidateInstance, nullptr, NoText, NoTable, StartStop},
        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    };
    ServerModule module;
    bool shutDown = false;
};

TEST_F(ModuleTest, StartupSetsTheRecordAndTellsEachRow)
{
    EXPECT_EQ(GetModuleHandleA(nullptr), module.Instance());
    EXPECT_EQ(GetModuleHandleA(nullptr), module.TypeLibInstance());
    EXPECT_EQ(table, module.Classes());
    EXPECT_EQ(0, module.LockCount());
    EXPECT_EQ("++", g_trace.calls);
}

TEST_F(ModuleTest, NoModuleRecordIsAnInvalidArgument)
{
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_INVALIDARG, ServerModule::Startup(nullptr, table, nullptr));
    EXPECT_EQ(E_INVALIDARG, ServerModule::Shutdown(nullptr));
    EXPECT_EQ(E_INVALIDARG, ServerModule::FindClassObject(nullptr, CLSID_Validate, IID_IClassFactory, &out));
    EXPECT_EQ(reinterpret_cast<void*>(1), out);
    EXPECT_EQ(E_POINTER, ServerModule::FindClassObject(&module, CLSID_Validate, IID_IClassFactory, nullptr));
}

TEST_F(ModuleTest, ShutdownCallbacksRunNewestFirstOncePerAddition)
{
    ASSERT_EQ(S_OK, module.AddShutdownCallback(Record, 'a'));
    ASSERT_EQ(S_OK, module.AddShutdownCallback(Record, 'b'));
    ASSERT_EQ(S_OK, module.AddShutdownCallback(Record, 'a'));
    g_trace.calls.clear();
    EXPECT_EQ(S_OK, ServerModule::Shutdown(&module));
    EXPECT_EQ("--aba", g_trace.calls);  // rows told first, then the callbacks
    shutDown = true;
}

TEST_F(ModuleTest, ShutdownCallbackThatCannotBeAllocatedIsNotAdded)
{
    {
        AllocationWindow refuse(-1);
        EXPECT_EQ(E_OUTOFMEMORY, module.AddShutdownCallback(Record, 'x'));
    }
    ASSERT_EQ(S_OK, module.AddShutdownCallback(Record, 'y'));
    g_trace.calls.clear();
    ServerModule::Shutdown(&module);
    shutDown = true;
    EXPECT_EQ("--y", g_trace.calls);
}

TEST_F(ModuleTest, OneClassObjectPerRowUntilShutdown)
{
    IClassFactory* first = nullptr;
    IUnknown* second = nullptr;
    ASSERT_EQ(S_OK, ServerModule::FindClassObject(&module, CLSID_Validate, IID_IClassFactory,
                                                  reinterpret_cast<void**>(&first)));
    ASSERT_EQ(S_OK, ServerModule::FindClassObject(&module, CLSID_Validate, IID_IUnknown,
                                                  reinterpret_cast<void**>(&second)));
    EXPECT_EQ(static_cast<IUnknown*>(first), second);
    EXPECT_EQ(1, g_creations);
    EXPECT_EQ(table[0].classObject, second);
    first->Release();
    second->Release();
    ServerModule::Shutdown(&module);
    shutDown = true;
    EXPECT_EQ(nullptr, table[0].classObject);
}

TEST_F(ModuleTest, UnknownClassAndRowsWithoutCreator)
{
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, ServerModule::FindClassObject(&module, kOther, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, ServerModule::FindClassObject(&module, IID_IUnknown, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(0, g_creations);
}

TEST_F(ModuleTest, RefusedInterfaceKeepsTheClassObjectCached)
{
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, ServerModule::FindClassObject(&module, CLSID_Validate, IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
    IUnknown* cached = table[0].classObject;
    ASSERT_NE(nullptr, cached);
    ASSERT_EQ(S_OK, ServerModule::FindClassObject(&module, CLSID_Validate, IID_IClassFactory, &out));
    EXPECT_EQ(static_cast<void*>(cached), out);
    EXPECT_EQ(1, g_creations);
    static_cast<IUnknown*>(out)->Release();
}

TEST_F(ModuleTest, FailedCreationCachesNothingAndIsRetried)
{
    table[0].classObjectCreator = FailingCreator;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_OUTOFMEMORY, ServerModule::FindClassObject(&module, CLSID_Validate, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(nullptr, table[0].classObject);
    table[0].classObjectCreator = CountingCreator;
    ASSERT_EQ(S_OK, ServerModule::FindClassObject(&module, CLSID_Validate, IID_IClassFactory, &out));
    static_cast<IUnknown*>(out)->Release();
}

TEST_F(ModuleTest, AllocationFailureOfTheClassObject)
{
    LONG locks = TheServerModule().LockCount();
    void* out = reinterpret_cast<void*>(1);
    {
        AllocationWindow refuse(-1);
        EXPECT_EQ(E_OUTOFMEMORY, ServerModule::FindClassObject(&module, CLSID_Validate, IID_IClassFactory, &out));
    }
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(nullptr, table[0].classObject);
    EXPECT_EQ(locks, TheServerModule().LockCount());
}

// Every thread passes the unlocked presence test before the first creation ends, so all of them
// meet at the class-table lock: only the test inside it keeps them from creating again.
std::atomic<int> g_asked{0};
HRESULT CreatorThatWaitsForEveryThread(InstanceCreator creator, REFIID iid, void** out)
{
    for (int waited = 0; g_asked < kMeetingThreads && waited < 10000; ++waited)
        Sleep(1);
    // The last thread to ask is between its count and the lock; let it arrive.
    Sleep(100);
    return CountingCreator(creator, iid, out);
}

TEST_F(ModuleTest, ThreadsHeldAtTheClassTableLockGetOneClassObject)
{
    table[0].classObjectCreator = CreatorThatWaitsForEveryThread;
    g_asked = 0;
    std::vector<IUnknown*> got(kMeetingThreads, nullptr);
    std::vector<HRESULT> results(kMeetingThreads, E_FAIL);
    std::vector<std::thread> threads;
    for (int i = 0; i < kMeetingThreads; ++i)
        threads.emplace_back([&, i] {
            ++g_asked;
            results[i] = ServerModule::FindClassObject(&module, CLSID_Validate, IID_IClassFactory,
                                                       reinterpret_cast<void**>(&got[i]));
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(1, g_creations);
    for (int i = 0; i < kMeetingThreads; ++i) {
        EXPECT_EQ(S_OK, results[i]);
        EXPECT_EQ(got[0], got[i]);
    }
    EXPECT_EQ(1, TheServerModule().LockCount());
    for (IUnknown* factory : got)
        if (factory != nullptr)
            factory->Release();
    EXPECT_EQ(0, TheServerModule().LockCount());
}

// The library's own module record as DllMain drives it.
TEST(ProcessDetach, OnlyFreeLibraryReleasesWhatTheModuleHolds)
{
    LibraryApp app(GetModuleHandleA(nullptr));
    ASSERT_TRUE(app.InitInstance());
    ServerModule& module = *ActiveServerModule();
    g_trace.calls.clear();
    ASSERT_EQ(S_OK, module.AddShutdownCallback(Record, 'x'));
    IUnknown* factory = nullptr;
    ASSERT_EQ(S_OK, ServerModule::FindClassObject(&module, CLSID_Validate, IID_IUnknown,
                                                  reinterpret_cast<void**>(&factory)));
    // Ending process: nothing is released, no callback runs.
    app.ProcessDetach(reinterpret_cast<LPVOID>(1));
    EXPECT_EQ("", g_trace.calls);
    EXPECT_EQ(3u, factory->AddRef()) << "the module still holds its reference";
    factory->Release();
    factory->Release();
    // FreeLibrary: the full shut-down.
    app.ProcessDetach(nullptr);
    EXPECT_EQ("x", g_trace.calls);
    EXPECT_EQ(nullptr, ClassTable[0].classObject);
}

}  // namespace
