// The member-name table and the resolution of names, with fake type information.
#include <climits>
#include <string>

#include "DispatchSupport.h"
#include "FakeHolderFixture.h"

namespace {

using NameCacheTest = FakeHolderTest;

std::wstring Text(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(L"(null)"); }

TEST_F(NameCacheTest, OneEntryPerFunctionInIndexOrder)
{
    FakeTypeInfo& fake = StandardFake();
    ASSERT_EQ(S_OK, holder.BuildNameCache(&fake));
    const struct { const wchar_t* name; int length; DISPID id; } expected[] = {
        {L"QueryInterface", 14, 0x60000000}, {L"GetVersion", 10, 1}, {L"HasDotNetFramework2", 19, 2},
        {L"HasIIS", 6, 5}, {L"HasBITS", 7, 6}, {L"HasASPNET20", 11, 0x11},
    };
    ASSERT_EQ(6, holder.NameCount());
    ASSERT_NE(nullptr, holder.Names());
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].name, Text(holder.Names()[i].name));
        EXPECT_EQ(expected[i].length, holder.Names()[i].length);
        EXPECT_EQ(expected[i].id, holder.Names()[i].id);
    }
    EXPECT_EQ(1, fake.getTypeAttr);
    EXPECT_EQ(6, fake.getDocumentation);
    EXPECT_EQ(0, fake.OutstandingDescriptions());
    EXPECT_EQ(1, fake.references);  // building the table keeps no reference
    EXPECT_EQ(nullptr, holder.CachedTypeInfo());

    TypeInfoHolder::ReleaseTypeInfo(reinterpret_cast<DWORD_PTR>(&holder));
    EXPECT_EQ(nullptr, holder.Names());
    EXPECT_EQ(0, holder.NameCount());
}

TEST_F(NameCacheTest, FailedTypeAttributesLeaveNoTableAndTheTypeInformationAnswers)
{
    FakeTypeInfo& fake = StandardFake();
    fake.typeAttrResult = E_OUTOFMEMORY;
    ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&fake));
    EXPECT_EQ(&fake, holder.CachedTypeInfo());
    EXPECT_EQ(0, holder.NameCount());
    EXPECT_EQ(nullptr, holder.Names());

    DISPID id = 0;
    EXPECT_EQ(S_OK, Resolve(L"HasIIS", &id));
    EXPECT_EQ(5, id);
    EXPECT_EQ(1, fake.getIDsOfNames);
}

TEST_F(NameCacheTest, AFunctionWhoseDescriptionOrNameFailsNeverMatches)
{
    FakeTypeInfo& fake = MakeFake({{L"First", 1},
                                   {L"NoDescription", 2, true, false},
                                   {L"NoName", 3, false, true},
                                   {L"Last", 4}});
    ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&fake));
    ASSERT_EQ(4, holder.NameCount());
    EXPECT_EQ(L"First", Text(holder.Names()[0].name));
    EXPECT_EQ(nullptr, holder.Names()[1].name);
    EXPECT_EQ(nullptr, holder.Names()[2].name);
    EXPECT_EQ(L"Last", Text(holder.Names()[3].name));
    EXPECT_EQ(0, fake.OutstandingDescriptions());

    // An unnamed entry must not pass for the empty name, nor for its own.
    DISPID id = 0x7777;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, Resolve(L"", &id));
    EXPECT_EQ(1, fake.getIDsOfNames);
    EXPECT_EQ(S_OK, Resolve(L"NoDescription", &id));
    EXPECT_EQ(2, id);
    EXPECT_EQ(S_OK, Resolve(L"NoName", &id));
    EXPECT_EQ(3, id);
    EXPECT_EQ(3, fake.getIDsOfNames);
    EXPECT_EQ(S_OK, Resolve(L"Last", &id));
    EXPECT_EQ(4, id);
    EXPECT_EQ(3, fake.getIDsOfNames);
}

TEST_F(NameCacheTest, NamesAsInTheLibraryAreAnsweredFromTheTable)
{
    FakeTypeInfo& fake = StandardFake();
    ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&fake));
    // Each name is a member of its own, not a parameter of the first.
    LPOLESTR names[] = {Name(L"HasIIS"), Name(L"GetVersion"), Name(L"HasASPNET20"), Name(L"QueryInterface")};
    DISPID ids[4] = {};
    EXPECT_EQ(S_OK, holder.GetIDsOfNames(names, 4, 0x409, ids));
    EXPECT_EQ(5, ids[0]);
    EXPECT_EQ(1, ids[1]);
    EXPECT_EQ(0x11, ids[2]);
    EXPECT_EQ(0x60000000, ids[3]);
    EXPECT_EQ(0, fake.getIDsOfNames);
}

TEST_F(NameCacheTest, TheLastOfEqualNamesWins)
{
    FakeTypeInfo& fake = MakeFake({{L"Twice", 1}, {L"Other", 2}, {L"Twice", 3}, {L"Tail", 4}});
    ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&fake));
    DISPID id = 0;
    EXPECT_EQ(S_OK, Resolve(L"Twice", &id));
    EXPECT_EQ(3, id);
    EXPECT_EQ(0, fake.getIDsOfNames);
}

TEST_F(NameCacheTest, OnlyAnExactMatchOfLengthAndEveryUnitHits)
{
    FakeTypeInfo& fake = StandardFake();
    ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&fake));
    const wchar_t* misses[] = {
        L"HasII",          // a prefix of an entry
        L"HasIISX",        // an entry is its prefix
        L"hasiis",         // another case
        L"HasIIs",         // only the last unit differs
        L"\u0148asIIS",    // differs in the high byte only ('H' is 0x0048)
        L"HasIIS\u0100",   // one more unit whose low byte is 0
    };
    int calls = 0;
    for (const wchar_t* name : misses) {
        SCOPED_TRACE(testing::Message() << "name " << calls);
        DISPID id = 0x7777;
        Resolve(name, &id);
        ++calls;
        ASSERT_EQ(calls, fake.getIDsOfNames);
        EXPECT_EQ(1u, fake.lastNameCount);
        EXPECT_EQ(std::wstring(name), fake.lastName);
    }
}

TEST_F(NameCacheTest, AMissIsResolvedByTheTypeInformationWithThatOneName)
{
    FakeTypeInfo& fake = StandardFake();
    ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&fake));
    LPOLESTR names[] = {Name(L"GetVersion"), Name(L"HASBITS"), Name(L"HasIIS")};
    DISPID ids[3] = {};
    EXPECT_EQ(S_OK, holder.GetIDsOfNames(names, 3, 0x409, ids));
    EXPECT_EQ(1, ids[0]);
    EXPECT_EQ(6, ids[1]);
    EXPECT_EQ(5, ids[2]);
    EXPECT_EQ(1, fake.getIDsOfNames);
    EXPECT_EQ(1u, fake.lastNameCount);
    EXPECT_EQ(std::wstring(L"HASBITS"), fake.lastName);
}

TEST_F(NameCacheTest, TheFirstFailureStopsAndLeavesLaterSlotsAlone)
{
    FakeTypeInfo& fake = StandardFake();
    ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&fake));
    LPOLESTR names[] = {Name(L"HasIIS"), Name(L"Nobody"), Name(L"HasBITS"), Name(L"hasbits")};
    DISPID ids[4] = {0x7777, 0x7777, 0x7777, 0x7777};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, holder.GetIDsOfNames(names, 4, 0x409, ids));
    EXPECT_EQ(5, ids[0]);
    EXPECT_EQ(DISPID_UNKNOWN, ids[1]);  // as the type information wrote it
    EXPECT_EQ(0x7777, ids[2]);
    EXPECT_EQ(0x7777, ids[3]);
    EXPECT_EQ(1, fake.getIDsOfNames);
}

TEST_F(NameCacheTest, NoNamesAskForNothing)
{
    FakeTypeInfo& fake = StandardFake();
    ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&fake));
    DISPID id = 0x7777;
    LPOLESTR names[] = {Name(L"HasIIS")};
    EXPECT_EQ(S_OK, holder.GetIDsOfNames(names, 0, 0x409, &id));
    // The count is signed: one past INT_MAX is no names at all, not four billion of them.
    EXPECT_EQ(S_OK, holder.GetIDsOfNames(names, 0x80000000u, 0x409, &id));
    EXPECT_EQ(S_OK, holder.GetIDsOfNames(nullptr, UINT_MAX, 0x409, nullptr));
    EXPECT_EQ(0x7777, id);
    EXPECT_EQ(0, fake.getIDsOfNames);
}

TEST_F(NameCacheTest, MissingNamesAndIdentifiersAreRefused)
{
    FakeTypeInfo& fake = StandardFake();
    ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&fake));
    DISPID ids[3] = {0x7777, 0x7777, 0x7777};
    EXPECT_EQ(E_INVALIDARG, holder.GetIDsOfNames(nullptr, 1, 0x409, ids));
    LPOLESTR names[] = {Name(L"HasIIS"), nullptr, Name(L"HasBITS")};
    EXPECT_EQ(E_POINTER, holder.GetIDsOfNames(names, 1, 0x409, nullptr));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, holder.GetIDsOfNames(names, 3, 0x409, ids));
    EXPECT_EQ(5, ids[0]);
    EXPECT_EQ(DISPID_UNKNOWN, ids[1]);
    EXPECT_EQ(0x7777, ids[2]);
    EXPECT_EQ(0, fake.getIDsOfNames);
}

TEST_F(NameCacheTest, InvokeHandsEverythingToTheTypeInformation)
{
    FakeTypeInfo& fake = StandardFake();
    ASSERT_EQ(S_OK, holder.AdoptTypeInfo(&fake));
    IDispatch* instance = reinterpret_cast<IDispatch*>(&fake);  // only passed on, never called
    DISPPARAMS params = {nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(S_OK, holder.Invoke(instance, 6, 0x409, DISPATCH_METHOD, &params, &result, nullptr, nullptr));
    EXPECT_EQ(instance, fake.lastInstance);
    EXPECT_EQ(6, fake.lastMember);
    EXPECT_EQ(DISPATCH_METHOD, fake.lastFlags);
    EXPECT_EQ(&params, fake.lastParams);
    EXPECT_EQ(VT_I4, result.vt);

    fake.invokeResult = DISP_E_MEMBERNOTFOUND;
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              holder.Invoke(instance, 99, 0x409, DISPATCH_PROPERTYGET, &params, &result, nullptr, nullptr));
    EXPECT_EQ(2, fake.invoke);

    // Not every platform's type information survives this.
    EXPECT_EQ(E_INVALIDARG, holder.Invoke(instance, 6, 0x409, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr));
    EXPECT_EQ(2, fake.invoke);
}

}  // namespace
