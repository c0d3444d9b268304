// Publishing the type information once, giving it back at shut-down, and what dispatch calls
// cost afterwards; with fake type information standing in for the registered library.
#include <vector>

#include "support/CountingAllocator.h"
#include "DispatchSupport.h"
#include "FakeHolderFixture.h"

namespace {

using PublicationTest = FakeHolderTest;

TEST_F(PublicationTest, TypeInfo2IsStoredWhenOffered)
{
    FakeTypeInfo& plain = StandardFake();
    FakeTypeInfo& second = StandardFake();
    plain.typeInfo2 = &second;
    ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&plain));

    EXPECT_EQ(static_cast<ITypeInfo*>(&second), holder.CachedTypeInfo());
    EXPECT_EQ(1, plain.references);   // its temporary references are all given back
    EXPECT_EQ(2, second.references);  // one is the holder's
    EXPECT_EQ(0, plain.getTypeAttr);  // the table comes from the stored pointer
    EXPECT_EQ(1, second.getTypeAttr);

    ITypeInfo* info = nullptr;
    ASSERT_EQ(S_OK, holder.GetTypeInfo(0x409, &info));
    EXPECT_EQ(static_cast<ITypeInfo*>(&second), info);
    info->Release();
    DISPID id = 0;
    EXPECT_EQ(S_OK, Resolve(L"hasiis", &id));
    DISPPARAMS params = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(S_OK, holder.Invoke(nullptr, 5, 0x409, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr));
    EXPECT_EQ(1, second.getIDsOfNames);
    EXPECT_EQ(1, second.invoke);
    EXPECT_EQ(0, plain.getIDsOfNames + plain.invoke);
    EXPECT_EQ(0, second.typeInfo2Only + plain.typeInfo2Only);  // only ITypeInfo is ever called

    ShutDown();
    EXPECT_EQ(1, second.references);
    EXPECT_EQ(nullptr, holder.CachedTypeInfo());
}

TEST_F(PublicationTest, PublishedOnceAndReleasedOnceAtShutdown)
{
    FakeTypeInfo& fake = StandardFake();
    FakeTypeInfo& later = StandardFake();
    ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&fake));
    EXPECT_EQ(2, fake.references);
    // Once present, nothing is loaded again.
    EXPECT_EQ(S_OK, holder.AdoptTypeInfo(&later));
    EXPECT_EQ(S_OK, holder.LoadTypeInfo(0x409));
    EXPECT_EQ(&fake, holder.CachedTypeInfo());
    EXPECT_EQ(1, later.references);
    EXPECT_EQ(0, later.getTypeAttr);
    EXPECT_EQ(1, fake.getTypeAttr);

    ShutDown();
    EXPECT_EQ(1, fake.references);
    EXPECT_EQ(nullptr, holder.CachedTypeInfo());
    EXPECT_EQ(nullptr, holder.Names());
    EXPECT_EQ(0, holder.NameCount());
    // A second run of the callback finds nothing.
    TypeInfoHolder::ReleaseTypeInfo(reinterpret_cast<DWORD_PTR>(&holder));
    EXPECT_EQ(1, fake.references);
}

TEST_F(PublicationTest, ANameTableThatCannotBeAllocatedLeavesEveryNameToTheTypeInformation)
{
    FakeTypeInfo& fake = StandardFake();
    {
        AllocationWindow allocations(1);  // the table is the first allocation
        ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&fake));
    }
    EXPECT_EQ(&fake, holder.CachedTypeInfo());
    EXPECT_EQ(0, holder.NameCount());
    EXPECT_EQ(nullptr, holder.Names());
    EXPECT_EQ(0, fake.OutstandingDescriptions());

    LPOLESTR names[] = {Name(L"GetVersion"), Name(L"HasIIS")};
    DISPID ids[2] = {};
    EXPECT_EQ(S_OK, holder.GetIDsOfNames(names, 2, 0x409, ids));
    EXPECT_EQ(1, ids[0]);
    EXPECT_EQ(5, ids[1]);
    EXPECT_EQ(2, fake.getIDsOfNames);

    ShutDown();  // the callback was still added
    EXPECT_EQ(1, fake.references);
}

TEST_F(PublicationTest, ACallbackThatCannotBeAddedLeavesDispatchWorking)
{
    FakeTypeInfo& fake = StandardFake();
    {
        AllocationWindow allocations(2);  // the table, then the callback node
        ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&fake));
        EXPECT_EQ(2, allocations.Count());
    }
    EXPECT_EQ(6, holder.NameCount());
    DISPID id = 0;
    EXPECT_EQ(S_OK, Resolve(L"HasBITS", &id));
    EXPECT_EQ(6, id);
    // As designed, shut-down then does not give the type information back.
    ShutDown();
    EXPECT_EQ(2, fake.references);
}

TEST_F(PublicationTest, DispatchCallsAfterLoadingNeitherAllocateNorLock)
{
    FakeTypeInfo& fake = StandardFake();
    ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&fake));

    // Another thread holds the type-information lock throughout.
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    TestThread locker([&] {
        module.TypeInfoLock().Enter();
        SetEvent(held);
        WaitForSingleObject(release, INFINITE);
        module.TypeInfoLock().Leave();
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held, 10000));

    HRESULT results[5] = {E_FAIL, E_FAIL, E_FAIL, E_FAIL, E_FAIL};
    long allocated = -1;
    {
        TestThread caller([&] {
            AllocationWindow allocations;
            ITypeInfo* info = nullptr;
            results[0] = holder.GetTypeInfo(0x409, &info);
            if (info)
                info->Release();
            DISPID id = 0;
            results[1] = Resolve(L"HasIIS", &id);
            results[2] = Resolve(L"hasiis", &id);
            results[3] = holder.LoadTypeInfo(0x411);
            DISPPARAMS params = {nullptr, nullptr, 0, 0};
            results[4] = holder.Invoke(nullptr, 5, 0x409, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
            allocated = allocations.Count();
        });
        bool finished = caller.Finished(10000);
        SetEvent(release);  // lets a blocked caller end before its thread is joined
        EXPECT_TRUE(finished) << "a dispatch call waited for the type-information lock";
    }
    for (HRESULT result : results)
        EXPECT_EQ(S_OK, result);
    EXPECT_EQ(0, allocated);
    CloseHandle(held);
    CloseHandle(release);
}

TEST_F(PublicationTest, ThreadsMeetingAtTheLockBuildAndPublishOnce)
{
    FakeTypeInfo& fake = StandardFake();
    const int kThreads = 8;
    HRESULT results[kThreads];
    std::unique_ptr<AllocationWindow> allocations;
    RunMeetingAtTheLock(
        module, kThreads, [&](int i) { results[i] = holder.AdoptTypeInfo(&fake); },
        [&] { allocations = std::make_unique<AllocationWindow>(); });
    allocations->Close();
    for (HRESULT result : results)
        EXPECT_EQ(S_OK, result);
    EXPECT_EQ(1, fake.getTypeAttr);
    EXPECT_EQ(2, fake.references);
    EXPECT_EQ(1, allocations->CountOfSize(sizeof(ShutdownCallback)));
}

}  // namespace
