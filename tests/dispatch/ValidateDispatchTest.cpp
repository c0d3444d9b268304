// Late binding of a real Validate object through the built DLL's registered type library.
//
// Wine 8: RegisterTypeLib files the library under 409\win32 (the locale it declares), and
// LoadRegTypeLib then finds it only when asked for 0x409: LOCALE_NEUTRAL, LOCALE_USER_DEFAULT,
// LOCALE_SYSTEM_DEFAULT, 0x407, 0x411 and 0x809 all answer TYPE_E_LIBNOTREGISTERED. The holder then
// asks again for the library's own locale (see AnyCallerLocaleFindsTheLibrary).
// LoadTypeLib with a full path registers nothing.
// Wine's dispatch half of the dual IValidate lists 35 functions: IUnknown's 3, IDispatch's 4, then 28.
#include <Morvaleth.h>
#include <gtest/gtest.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

#include "support/CountingAllocator.h"
#include "DispatchSupport.h"
#include "object/Validate.h"
#include "server/ServerModule.h"
#include "object/ValidateTypeInfo.h"

namespace {

const LCID kEnglish = 0x409;

struct Member {
    const wchar_t* name;
    DISPID id;
};

// The dispatch interface's functions in index order, as the library spells them.
const Member kMembers[] = {
    {L"QueryInterface", 0x60000000}, {L"AddRef", 0x60000001}, {L"Release", 0x60000002},
    {L"GetTypeInfoCount", 0x60010000}, {L"GetTypeInfo", 0x60010001}, {L"GetIDsOfNames", 0x60010002},
    {L"Invoke", 0x60010003},
    {L"OnStartPage", 0x60020000}, {L"OnEndPage", 0x60020001},
    {L"GetVersion", 0x1}, {L"HasDotNetFramework2", 0x2}, {L"HasDotNetFramework3", 0x3}, {L"HasMDAC28", 0x4},
    {L"HasIIS", 0x5}, {L"HasBITS", 0x6}, {L"IsValidServer", 0x7}, {L"IsValidConsole", 0x8},
    {L"GetServicePack", 0x9}, {L"HasMaxPhyMem", 0xA}, {L"IsWindowsDriveNTFS", 0xB}, {L"HasDiskSpace", 0xC},
    {L"NoSUS", 0xD}, {L"HasMinPhyMem", 0xE}, {L"IsRebootPending", 0xF}, {L"IsAdmin", 0x10},
    {L"HasASPNET20", 0x11}, {L"IsValidAgent", 0x12}, {L"ConsoleHasMinPhyMem", 0x13},
    {L"ConsoleHasMaxPhyMem", 0x14}, {L"GetSCEPath", 0x15}, {L"GetSCEType", 0x16}, {L"GetSCEVersion", 0x17},
    {L"GetMSMP_x64Version", 0x18}, {L"GetAgent_x64Version", 0x19}, {L"GetASC_x64Version", 0x1A},
};
const int kMemberCount = sizeof kMembers / sizeof kMembers[0];

// The 26 checks, each reached through the interface table by its member.
struct Check {
    const wchar_t* name;
    HRESULT (STDMETHODCALLTYPE IValidate::*flag)(VARIANT_BOOL*);
    HRESULT (STDMETHODCALLTYPE IValidate::*text)(BSTR*);
};
#define FLAG_CHECK(name) {L## #name, &IValidate::name, nullptr}
#define TEXT_CHECK(name) {L## #name, nullptr, &IValidate::name}
const Check kChecks[] = {
    TEXT_CHECK(GetVersion), FLAG_CHECK(HasDotNetFramework2), FLAG_CHECK(HasDotNetFramework3),
    FLAG_CHECK(HasMDAC28), FLAG_CHECK(HasIIS), FLAG_CHECK(HasBITS), FLAG_CHECK(IsValidServer),
    FLAG_CHECK(IsValidConsole), TEXT_CHECK(GetServicePack), FLAG_CHECK(HasMaxPhyMem),
    FLAG_CHECK(IsWindowsDriveNTFS), FLAG_CHECK(HasDiskSpace), FLAG_CHECK(NoSUS), FLAG_CHECK(HasMinPhyMem),
    FLAG_CHECK(IsRebootPending), FLAG_CHECK(IsAdmin), FLAG_CHECK(HasASPNET20), FLAG_CHECK(IsValidAgent),
    FLAG_CHECK(ConsoleHasMinPhyMem), FLAG_CHECK(ConsoleHasMaxPhyMem), TEXT_CHECK(GetSCEPath),
    TEXT_CHECK(GetSCEType), TEXT_CHECK(GetSCEVersion), TEXT_CHECK(GetMSMP_x64Version),
    TEXT_CHECK(GetAgent_x64Version), TEXT_CHECK(GetASC_x64Version),
};
#undef FLAG_CHECK
#undef TEXT_CHECK

std::wstring Changed(const wchar_t* name, bool upper)
{
    std::wstring text(name);
    for (wchar_t& c : text)
        c = upper ? towupper(c) : towlower(c);
    return text;
}

HRESULT NotRegisteredCode(LCID locale)
{
    ITypeLib* library = nullptr;
    HRESULT result = LoadRegTypeLib(LIBID_MORVALETHLib, 1, 0, locale, &library);
    if (library)
        library->Release();
    return result;
}

// The process's own module and Validate holder, started for each test and shut down after it.
class ValidateDispatchTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, ServerModule::Startup(&TheServerModule(), nullptr, GetModuleHandle(nullptr)));
        started = true;
        object = new Validate;
        object->AddRef();
    }
    void TearDown() override
    {
        if (object)
            object->Release();
        ShutDown();
    }
    void ShutDown()
    {
        if (started)
            ServerModule::Shutdown(&TheServerModule());
        started = false;
    }
    HRESULT Resolve(const wchar_t* name, DISPID* id, LCID locale = kEnglish)
    {
        LPOLESTR names[] = {Name(name)};
        return object->GetIDsOfNames(IID_NULL, names, 1, locale, id);
    }
    HRESULT Call(DISPID id, VARIANT* result, EXCEPINFO* exception, LCID locale = kEnglish)
    {
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        UINT argumentError = 0;
        return object->Invoke(id, IID_NULL, locale, DISPATCH_METHOD, &none, result, exception, &argumentError);
    }

    TypeLibraryRegistration library;
    bool started = false;
    Validate* object = nullptr;
    TypeInfoHolder& holder = ValidateTypeInfo();
};

TEST_F(ValidateDispatchTest, TypeInfoCountIsOneAndLoadsNothing)
{
    UINT count = 7;
    EXPECT_EQ(S_OK, object->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(E_POINTER, object->GetTypeInfoCount(nullptr));
    EXPECT_EQ(nullptr, holder.CachedTypeInfo());
}

TEST_F(ValidateDispatchTest, NullOutPointerLoadsNothing)
{
    EXPECT_EQ(E_POINTER, object->GetTypeInfo(0, kEnglish, nullptr));
    EXPECT_EQ(E_POINTER, holder.GetTypeInfo(kEnglish, nullptr));
    EXPECT_EQ(nullptr, holder.CachedTypeInfo());
}

TEST_F(ValidateDispatchTest, EveryIndexYieldsTheSameTypeInformationWithANewReference)
{
    ITypeInfo* first = nullptr;
    ITypeInfo* second = nullptr;
    ASSERT_EQ(S_OK, object->GetTypeInfo(0, kEnglish, &first));
    ULONG references = References(first);
    ASSERT_EQ(S_OK, object->GetTypeInfo(7, kEnglish, &second));
    EXPECT_EQ(first, second);
    EXPECT_EQ(references + 1, References(first));
    EXPECT_EQ(holder.CachedTypeInfo(), first);

    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, first->GetTypeAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(IID_IValidate, attributes->guid));
    EXPECT_EQ(TKIND_DISPATCH, attributes->typekind);
    EXPECT_EQ(kMemberCount, attributes->cFuncs);
    first->ReleaseTypeAttr(attributes);
    second->Release();
    first->Release();
}

TEST_F(ValidateDispatchTest, TheTableHoldsEveryFunctionAsTheLibrarySpellsIt)
{
    DISPID id = 0;
    ASSERT_EQ(S_OK, Resolve(L"GetVersion", &id));
    ASSERT_EQ(kMemberCount, holder.NameCount());
    for (int i = 0; i < kMemberCount; ++i) {
        const NameCacheEntry& entry = holder.Names()[i];
        SCOPED_TRACE(testing::Message() << "function " << i);
        ASSERT_NE(nullptr, entry.name);
        EXPECT_EQ(std::wstring(kMembers[i].name), std::wstring(entry.name, entry.length));
        EXPECT_EQ(static_cast<int>(wcslen(kMembers[i].name)), entry.length);
        EXPECT_EQ(kMembers[i].id, entry.id);
    }
}

TEST_F(ValidateDispatchTest, AnUnregisteredLibraryIsReportedAndNothingIsKept)
{
    ASSERT_EQ(S_OK, library.Unregister());
    const LCID locales[] = {kEnglish, LOCALE_USER_DEFAULT};
    HRESULT expected[] = {NotRegisteredCode(locales[0]), NotRegisteredCode(locales[1])};
    ASSERT_TRUE(FAILED(expected[0]));
    ASSERT_TRUE(FAILED(expected[1]));

    // A client that keeps calling leaves nothing behind, shut-down callbacks included.
    AllocationWindow allocations;
    for (int i = 0; i < 50; ++i) {
        LCID locale = locales[i % 2];
        ITypeInfo* info = reinterpret_cast<ITypeInfo*>(this);
        EXPECT_EQ(expected[i % 2], object->GetTypeInfo(0, locale, &info));
        EXPECT_EQ(nullptr, info);
        DISPID id = 0x7777;
        EXPECT_EQ(expected[i % 2], Resolve(L"GetVersion", &id, locale));
        EXPECT_EQ(0x7777, id);
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(expected[i % 2], Call(0x1, &result, nullptr, locale));
        EXPECT_EQ(VT_EMPTY, result.vt);
    }
    allocations.Close();
    EXPECT_EQ(0, allocations.Count());
    EXPECT_EQ(nullptr, holder.CachedTypeInfo());
    EXPECT_EQ(nullptr, holder.Names());

    // Registered now: the next call loads it, without loading anything else again.
    ASSERT_EQ(S_OK, library.Register());
    ITypeInfo* info = nullptr;
    ASSERT_EQ(S_OK, object->GetTypeInfo(0, kEnglish, &info));
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(kMemberCount, holder.NameCount());

    // Shut-down gives back the holder's one reference, once.
    ULONG references = References(info);
    ShutDown();
    EXPECT_EQ(references - 1, References(info));
    EXPECT_EQ(nullptr, holder.CachedTypeInfo());
    EXPECT_EQ(nullptr, holder.Names());
    info->Release();
}

TEST_F(ValidateDispatchTest, AnyCallerLocaleFindsTheLibrary)
{
    const LCID locales[] = {LOCALE_NEUTRAL, LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT, 0x411, 0x809, kEnglish};
    for (LCID locale : locales) {
        SCOPED_TRACE(testing::Message() << "locale 0x" << std::hex << locale);
        ServerModule module;
        ASSERT_EQ(S_OK, ServerModule::Startup(&module, nullptr, GetModuleHandle(nullptr)));
        TypeInfoHolder fresh(module, IID_IValidate, LIBID_MORVALETHLib, 1, 0);
        ITypeInfo* info = nullptr;
        EXPECT_EQ(S_OK, fresh.GetTypeInfo(locale, &info));
        EXPECT_NE(nullptr, info);
        if (info)
            info->Release();
        ServerModule::Shutdown(&module);
        EXPECT_EQ(nullptr, fresh.CachedTypeInfo());
    }
}

TEST_F(ValidateDispatchTest, NamesResolveInTheLibrarysCaseAndInOthers)
{
    // No names: nothing written, yet the type information is loaded.
    DISPID untouched = 0x7777;
    EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, nullptr, 0, kEnglish, &untouched));
    EXPECT_EQ(0x7777, untouched);
    ASSERT_NE(nullptr, holder.CachedTypeInfo());

    for (const Member& member : kMembers) {
        SCOPED_TRACE(testing::Message() << member.name);
        DISPID id = 0;
        {
            AllocationWindow allocations;
            EXPECT_EQ(S_OK, Resolve(member.name, &id));
            allocations.Close();
            EXPECT_EQ(0, allocations.Count());
        }
        EXPECT_EQ(member.id, id);
        for (bool upper : {true, false}) {
            std::wstring other = Changed(member.name, upper);
            id = 0;
            EXPECT_EQ(S_OK, Resolve(other.c_str(), &id));
            EXPECT_EQ(member.id, id);
        }
    }

    // Every name is a member: the second is not taken for a parameter of the first.
    LPOLESTR two[] = {Name(L"HasIIS"), Name(L"getsceversion")};
    DISPID ids[3] = {0, 0, 0};
    EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, two, 2, kEnglish, ids));
    EXPECT_EQ(0x5, ids[0]);
    EXPECT_EQ(0x17, ids[1]);

    // The platform's answer for an unknown name stops the walk.
    ITypeInfo* info = holder.CachedTypeInfo();
    LPOLESTR unknown[] = {Name(L"NoSuchCheck")};
    DISPID platformId = 0;
    HRESULT platformCode = info->GetIDsOfNames(unknown, 1, &platformId);
    ASSERT_TRUE(FAILED(platformCode));
    LPOLESTR three[] = {Name(L"HasBITS"), Name(L"NoSuchCheck"), Name(L"IsAdmin")};
    ids[0] = ids[1] = ids[2] = 0x7777;
    EXPECT_EQ(platformCode, object->GetIDsOfNames(IID_NULL, three, 3, kEnglish, ids));
    EXPECT_EQ(0x6, ids[0]);
    EXPECT_EQ(platformId, ids[1]);
    EXPECT_EQ(0x7777, ids[2]);
}

TEST_F(ValidateDispatchTest, EveryCheckAnswersByNameAsItDoesThroughTheInterface)
{
    for (const Check& check : kChecks) {
        SCOPED_TRACE(testing::Message() << check.name);
        VARIANT_BOOL flag = 0x7777;
        BSTR text = nullptr;
        HRESULT early = check.flag ? (object->*check.flag)(&flag) : (object->*check.text)(&text);
        DISPID id = 0;
        std::wstring lower = Changed(check.name, false);
        ASSERT_EQ(S_OK, Resolve(lower.c_str(), &id));

        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception = {};
        HRESULT late = Call(id, &result, &exception);
        if (SUCCEEDED(early)) {
            EXPECT_EQ(S_OK, late);
            if (check.text) {
                EXPECT_EQ(VT_BSTR, result.vt);
                if (result.vt == VT_BSTR && text != nullptr) {
                    EXPECT_EQ(std::wstring(text, SysStringLen(text)),
                              std::wstring(result.bstrVal, SysStringLen(result.bstrVal)));
                }
            } else {
                EXPECT_EQ(VT_BOOL, result.vt);
                EXPECT_EQ(flag, result.boolVal);  // 1 for true arrives as 1, not -1
            }
        } else {
            // A failing method comes back as an exception carrying its code.
            EXPECT_EQ(DISP_E_EXCEPTION, late);
            EXPECT_EQ(early, exception.scode);
        }
        SysFreeString(text);
        VariantClear(&result);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
}

TEST_F(ValidateDispatchTest, InvokeFailuresOfTheTypeInformationPassThrough)
{
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Call(0x999, &result, nullptr));

    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = 3;
    DISPPARAMS one = {&argument, nullptr, 1, 0};
    UINT argumentError = 0;
    EXPECT_EQ(DISP_E_BADPARAMCOUNT,
              object->Invoke(0x1, IID_NULL, kEnglish, DISPATCH_METHOD, &one, &result, nullptr, &argumentError));
    EXPECT_EQ(E_INVALIDARG,
              object->Invoke(0x1, IID_NULL, kEnglish, DISPATCH_METHOD, nullptr, &result, nullptr, &argumentError));
    EXPECT_EQ(VT_EMPTY, result.vt);
}

TEST(ConcurrentFirstCalls, ThreadsMeetingAtTheLockPublishOneTypeInformation)
{
    TypeLibraryRegistration library;
    ServerModule module;
    ASSERT_EQ(S_OK, ServerModule::Startup(&module, nullptr, GetModuleHandle(nullptr)));
    TypeInfoHolder fresh(module, IID_IValidate, LIBID_MORVALETHLib, 1, 0);

    const int kThreads = 8;
    ITypeInfo* infos[kThreads] = {};
    HRESULT results[kThreads];
    std::unique_ptr<AllocationWindow> allocations;
    RunMeetingAtTheLock(
        module, kThreads, [&](int i) { results[i] = fresh.GetTypeInfo(kEnglish, &infos[i]); },
        [&] { allocations = std::make_unique<AllocationWindow>(); });
    allocations->Close();

    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(S_OK, results[i]);
        EXPECT_EQ(infos[0], infos[i]);
    }
    EXPECT_NE(nullptr, infos[0]);
    EXPECT_EQ(fresh.CachedTypeInfo(), infos[0]);
    EXPECT_EQ(1, allocations->CountOfSize(kMemberCount * sizeof(NameCacheEntry)));  // one table
    EXPECT_EQ(1, allocations->CountOfSize(sizeof(ShutdownCallback)));  // one callback
    for (ITypeInfo* info : infos) {
        if (info)
            info->Release();
    }
    ServerModule::Shutdown(&module);
    EXPECT_EQ(nullptr, fresh.CachedTypeInfo());
}

}  // namespace
