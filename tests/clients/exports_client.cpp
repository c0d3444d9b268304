// Sees only Morvaleth.DLL: loads it, finds its exports by their plain names and uses them.
#include "support/Paths.h"

#include <Morvaleth.h>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

typedef HRESULT(STDAPICALLTYPE* CanUnloadNow)();
typedef HRESULT(STDAPICALLTYPE* GetClassObject)(REFCLSID, REFIID, void**);

class ExportsClient : public testing::Test {
protected:
    void SetUp() override
    {
        dll = LoadLibraryA(BesideExecutable("Morvaleth.DLL").c_str());
        ASSERT_NE(nullptr, dll);
        canUnloadNow = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
        getClassObject = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
        ASSERT_NE(nullptr, canUnloadNow);
        ASSERT_NE(nullptr, getClassObject);
    }
    void TearDown() override
    {
        if (dll) {
            EXPECT_EQ(S_OK, canUnloadNow()) << "a test left something held";
            FreeLibrary(dll);
        }
    }
    IClassFactory* Factory()
    {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(S_OK, getClassObject(CLSID_Validate, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
        return factory;
    }
    HMODULE dll = nullptr;
    CanUnloadNow canUnloadNow = nullptr;
    GetClassObject getClassObject = nullptr;
};

TEST_F(ExportsClient, UnloadableRightAfterLoad) { EXPECT_EQ(S_OK, canUnloadNow()); }

TEST_F(ExportsClient, AllExportsHavePlainNames)
{
    for (const char* name : {"DllCanUnloadNow", "DllGetClassObject"})
        EXPECT_NE(nullptr, GetProcAddress(dll, name)) << name;
}

TEST_F(ExportsClient, HeldClassObjectKeepsTheLibraryLoaded)
{
    IClassFactory* factory = Factory();
    ASSERT_NE(nullptr, factory);
    EXPECT_EQ(S_FALSE, canUnloadNow());
    // The module holds one reference of its own, so the client's count starts above it.
    EXPECT_EQ(3u, factory->AddRef());
    EXPECT_EQ(2u, factory->Release());
    EXPECT_EQ(S_FALSE, canUnloadNow());
    EXPECT_EQ(1u, factory->Release());
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(ExportsClient, SameClassObjectEveryTimeAndForIUnknown)
{
    IClassFactory* first = Factory();
    IClassFactory* second = Factory();
    IUnknown* unknown = nullptr;
    ASSERT_EQ(S_OK, getClassObject(CLSID_Validate, IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(first, second);
    EXPECT_EQ(static_cast<IUnknown*>(first), unknown);
    unknown->Release();
    second->Release();
    first->Release();
}

TEST_F(ExportsClient, RefusedInterfaceThenClassFactory)
{
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, getClassObject(CLSID_Validate, IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(S_OK, canUnloadNow());
    IClassFactory* factory = Factory();
    EXPECT_NE(nullptr, factory);
    factory->Release();
}

TEST_F(ExportsClient, OtherClassAndNullOut)
{
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_IValidate, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, getClassObject(CLSID_Validate, IID_IClassFactory, nullptr));
}

TEST_F(ExportsClient, ObjectsAndServerLocksKeepTheLibraryLoaded)
{
    IClassFactory* factory = Factory();
    IValidate* object = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IValidate, reinterpret_cast<void**>(&object)));
    factory->Release();
    EXPECT_EQ(S_FALSE, canUnloadNow());
    EXPECT_EQ(2u, object->AddRef());
    EXPECT_EQ(1u, object->Release());
    EXPECT_EQ(0u, object->Release());
    EXPECT_EQ(S_OK, canUnloadNow());

    factory = Factory();
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory->Release();
    EXPECT_EQ(S_FALSE, canUnloadNow());
    factory = Factory();
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory->Release();
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(ExportsClient, AggregationRefused)
{
    IClassFactory* factory = Factory();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(factory, IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(factory, IID_IValidate, &out));
    factory->Release();
}

}  // namespace
