// The class object and the Validate object: counts, identity, aggregation and the module lock.
#include "server/CachedClassFactory.h"
#include "server/ServerModule.h"
#include "dll/ValidateInstance.h"
#include "support/CountingAllocator.h"
#include "support/LoadedServer.h"

#include <Morvaleth.h>
#include <gtest/gtest.h>

namespace {

LONG Locks() { return TheServerModule().LockCount(); }

class LifetimeTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, Locks());
        ASSERT_EQ(S_OK, CreateClassFactory(CreateValidateInstance, IID_IUnknown, reinterpret_cast<void**>(&moduleRef)));
    }
    void TearDown() override
    {
        // A SetUp that failed has made no reference.
        if (moduleRef != nullptr) {
            EXPECT_EQ(0u, moduleRef->Release());
        }
        EXPECT_EQ(0, Locks());
    }
    // Stands for the module's own reference, as the class table holds it.
    IUnknown* moduleRef = nullptr;
    IClassFactory* Client()
    {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(S_OK, moduleRef->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory)));
        return factory;
    }
};

TEST_F(LifetimeTest, ClientReferencesCountAsOneModuleLock)
{
    EXPECT_EQ(0, Locks());
    IClassFactory* factory = Client();
    EXPECT_EQ(1, Locks());
    EXPECT_EQ(3u, factory->AddRef());
    EXPECT_EQ(4u, factory->AddRef());
    EXPECT_EQ(1, Locks());
    EXPECT_EQ(3u, factory->Release());
    EXPECT_EQ(2u, factory->Release());
    EXPECT_EQ(1, Locks());
    EXPECT_EQ(1u, factory->Release());
    EXPECT_EQ(0, Locks());
}

TEST_F(LifetimeTest, LockServerMovesTheLockCountWithoutBalanceCheck)
{
    IClassFactory* factory = Client();
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(2, Locks());  // the client reference and one server lock
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(0, Locks());
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory->Release();
}

TEST_F(LifetimeTest, EachLiveObjectHoldsOneLock)
{
    IClassFactory* factory = Client();
    IValidate* first = nullptr;
    IValidate* second = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IValidate, reinterpret_cast<void**>(&first)));
    EXPECT_EQ(2, Locks());
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&second)));
    EXPECT_EQ(3, Locks());
    EXPECT_NE(first, second);
    factory->Release();
    EXPECT_EQ(2, Locks());
    EXPECT_EQ(0u, first->Release());
    EXPECT_EQ(1, Locks());
    EXPECT_EQ(0u, second->Release());
    EXPECT_EQ(0, Locks());
}

TEST_F(LifetimeTest, ObjectCountsAndIdentity)
{
    IClassFactory* factory = Client();
    IValidate* object = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IValidate, reinterpret_cast<void**>(&object)));
    factory->Release();
    EXPECT_EQ(2u, object->AddRef());
    EXPECT_EQ(1u, object->Release());

    IUnknown* unknown = nullptr;
    IDispatch* dispatch = nullptr;
    IValidate* validate = nullptr;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IValidate, reinterpret_cast<void**>(&validate)));
    EXPECT_EQ(static_cast<void*>(object), static_cast<void*>(unknown));
    EXPECT_EQ(static_cast<void*>(object), static_cast<void*>(dispatch));
    EXPECT_EQ(object, validate);
    EXPECT_EQ(3u, unknown->Release());

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, object->QueryInterface(IID_IUnknown, nullptr));
    dispatch->Release();
    validate->Release();
    EXPECT_EQ(0u, object->Release());
}

TEST_F(LifetimeTest, AggregationIsRefusedWithTheLockCountUnchanged)
{
    IClassFactory* factory = Client();
    LONG locks = Locks();
    IUnknown* outer = moduleRef;  // any object will do as the would-be outer
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer, IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer, IID_IValidate, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, CreateValidateInstance(outer, IID_IUnknown, &out));
    EXPECT_EQ(locks, Locks());
    factory->Release();
}

TEST_F(LifetimeTest, RefusedInterfaceOrNullOutMakesNothing)
{
    IClassFactory* factory = Client();
    LONG locks = Locks();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(locks, Locks());
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IValidate, nullptr));
    EXPECT_EQ(E_POINTER, CreateValidateInstance(nullptr, IID_IValidate, nullptr));
    EXPECT_EQ(locks, Locks());
    EXPECT_EQ(E_NOINTERFACE, moduleRef->QueryInterface(IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
    factory->Release();
}

TEST_F(LifetimeTest, FactoryAnswersOnlyForItsOwnInterfaces)
{
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, CreateClassFactory(CreateValidateInstance, IID_IValidate, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, CreateClassFactory(CreateValidateInstance, IID_IClassFactory, nullptr));
    EXPECT_EQ(0, Locks());
}

TEST_F(LifetimeTest, AllocationFailureMakesNothingAndTakesNoLock)
{
    IClassFactory* factory = Client();
    LONG locks = Locks();
    void* out = reinterpret_cast<void*>(1);
    {
        AllocationWindow refuse(-1);
        EXPECT_EQ(E_OUTOFMEMORY, factory->CreateInstance(nullptr, IID_IValidate, &out));
        EXPECT_EQ(nullptr, out);
        EXPECT_EQ(E_OUTOFMEMORY, CreateClassFactory(CreateValidateInstance, IID_IClassFactory, &out));
    }
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(locks, Locks());
    factory->Release();
}

// Through the built DLL: the unload test wants the count at exactly 0, not at or below it.
TEST(ExportedUnloadTest, UnbalancedLockServerKeepsTheLibraryLoaded)
{
    LoadedServer dll;
    ASSERT_TRUE(dll.Complete());
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, dll.getClassObject(CLSID_Validate, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory->Release();
    EXPECT_EQ(S_FALSE, dll.canUnloadNow()) << "lock count -1";
    ASSERT_EQ(S_OK, dll.getClassObject(CLSID_Validate, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory->Release();
    EXPECT_EQ(S_OK, dll.canUnloadNow());
}

}  // namespace
