#include "object/ScriptingContext.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CheckCalls.h"
#include "object/ModuleContext.h"
#include "support/LoadedServer.h"

namespace {

typedef std::vector<std::string> Log;

// One of the host's intrinsic objects: counts its references and logs its releases.
class FakeIntrinsic : public IUnknown {
public:
    FakeIntrinsic(const char* name, Log& log) : name_(name), log_(log) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (!IsEqualGUID(iid, IID_IUnknown))
            return E_NOINTERFACE;
        AddRef();
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        log_.push_back("release " + name_);
        --references;
        if (onRelease)
            onRelease();
        return references;
    }
    LONG references = 1;  // the test's own
    std::function<void()> onRelease;

private:
    std::string name_;
    Log& log_;
};

// The page host's scripting context; any getter, or the query for it, can be made to fail.
class FakeContext : public IScriptingContext {
public:
    explicit FakeContext(Log& log)
        : log_(log),
          request("Request", log), response("Response", log), server("Server", log), session("Session", log),
          application("Application", log)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        stateAtQuery = CurrentModuleState();
        *out = nullptr;
        if (queryFailure != S_OK) {
            if (queryLeavesReference) {
                AddRef();
                *out = this;
            }
            return queryFailure;
        }
        if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, IID_IDispatch) &&
            !IsEqualGUID(iid, IID_IScriptingContext))
            return E_NOINTERFACE;
        AddRef();
        *out = static_cast<IScriptingContext*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        log_.push_back("release context");
        return --references;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Request(IUnknown** out) override { return Get(0, request, out); }
    HRESULT STDMETHODCALLTYPE get_Response(IUnknown** out) override { return Get(1, response, out); }
    HRESULT STDMETHODCALLTYPE get_Server(IUnknown** out) override { return Get(2, server, out); }
    HRESULT STDMETHODCALLTYPE get_Session(IUnknown** out) override { return Get(3, session, out); }
    HRESULT STDMETHODCALLTYPE get_Application(IUnknown** out) override { return Get(4, application, out); }

    std::vector<LONG> Counts() const
    {
        return {request.references, response.references, server.references, session.references,
                application.references};
    }
    FakeIntrinsic* Intrinsic(int index)
    {
        FakeIntrinsic* all[] = {&request, &response, &server, &session, &application};
        return all[index];
    }

    LONG references = 1;
    HRESULT queryFailure = S_OK;
    bool queryLeavesReference = false;
    int failingGetter = -1;
    HRESULT getterFailure = E_FAIL;
    bool failingGetterLeavesReference = false;
    std::vector<int> gettersCalled;
    ModuleState* stateAtQuery = nullptr;

private:
    HRESULT Get(int index, FakeIntrinsic& object, IUnknown** out)
    {
        gettersCalled.push_back(index);
        *out = nullptr;
        if (index == failingGetter) {
            if (failingGetterLeavesReference) {
                object.AddRef();
                *out = &object;
            }
            return getterFailure;
        }
        object.AddRef();
        *out = &object;
        return S_OK;
    }

    Log& log_;

public:
    FakeIntrinsic request, response, server, session, application;
};

const std::vector<LONG> kNotHeld = {1, 1, 1, 1, 1};
const std::vector<LONG> kHeld = {2, 2, 2, 2, 2};

// The interface as the project declares it: the getters follow the seven IDispatch slots.
TEST(ScriptingContextDeclaration, IdentifierAndSlotOrder)
{
    const IID expected = {0xD97A6DA0, 0xA868, 0x11CF, {0x83, 0xAE, 0x00, 0xB0, 0xC9, 0x0C, 0x2B, 0xD8}};
    EXPECT_TRUE(IsEqualGUID(expected, IID_IScriptingContext));
    Log log;
    FakeContext context(log);
    void** table = *reinterpret_cast<void***>(static_cast<IScriptingContext*>(&context));
    // Slots 7 and 11 called as plain functions must be Request and Application, as hosts lay them out.
    typedef HRESULT(STDMETHODCALLTYPE * Slot)(IScriptingContext*, IUnknown**);
    IUnknown* fetched = nullptr;
    ASSERT_EQ(S_OK, reinterpret_cast<Slot>(table[7])(&context, &fetched));
    EXPECT_EQ(&context.request, fetched);
    fetched->Release();
    ASSERT_EQ(S_OK, reinterpret_cast<Slot>(table[11])(&context, &fetched));
    EXPECT_EQ(&context.application, fetched);
    fetched->Release();
}

TEST(PageHooks, NullContext)
{
    ValidateRef object;
    EXPECT_EQ(E_POINTER, object->OnStartPage(nullptr));
}

TEST(PageHooks, StartTakesOneReferenceOfEachAndEndGivesThemBack)
{
    Log log;
    FakeContext context(log);
    {
        ValidateRef object;
        ModuleState caller = {"caller"};
        ModuleState* saved = SwapCurrentModuleState(&caller);
        EXPECT_EQ(S_OK, object->OnStartPage(&context));
        SwapCurrentModuleState(saved);
        EXPECT_EQ(&caller, context.stateAtQuery) << "the hooks run in the caller's module context";
        EXPECT_EQ(kHeld, context.Counts());
        EXPECT_EQ(1, context.references) << "the context is not kept";
        EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), context.gettersCalled);

        log.clear();
        EXPECT_EQ(S_OK, object->OnEndPage());
        EXPECT_EQ(kNotHeld, context.Counts());
        EXPECT_EQ((Log{"release Request", "release Response", "release Server", "release Session",
                       "release Application"}),
                  log);
        log.clear();
        EXPECT_EQ(S_OK, object->OnEndPage());
        EXPECT_TRUE(log.empty());
    }
    EXPECT_EQ(kNotHeld, context.Counts()) << "nothing left to release at destruction";
}

TEST(PageHooks, EndWithoutStartTwice)
{
    ValidateRef object;
    EXPECT_EQ(S_OK, object->OnEndPage());
    EXPECT_EQ(S_OK, object->OnEndPage());
}

TEST(PageHooks, ContextWithoutTheInterface)
{
    Log log;
    FakeContext context(log);
    ValidateRef object;
    context.queryFailure = E_NOINTERFACE;
    EXPECT_EQ(E_NOINTERFACE, object->OnStartPage(&context));
    EXPECT_TRUE(context.gettersCalled.empty());
    EXPECT_EQ(1, context.references);

    // A query that fails yet hands out a reference: that reference is given back.
    context.queryFailure = E_ACCESSDENIED;
    context.queryLeavesReference = true;
    EXPECT_EQ(E_ACCESSDENIED, object->OnStartPage(&context));
    EXPECT_EQ(1, context.references);
    EXPECT_EQ(kNotHeld, context.Counts());
}

// Whichever getter fails: its code comes back, the objects fetched before it are released
// again, oldest first, and no later getter is asked.
TEST(PageHooks, EachGetterFailing)
{
    const HRESULT failures[] = {E_FAIL, E_OUTOFMEMORY, E_ACCESSDENIED, REGDB_E_CLASSNOTREG,
                                static_cast<HRESULT>(0x8004FFFF)};
    const char* names[] = {"Request", "Response", "Server", "Session", "Application"};
    for (int failing = 0; failing < 5; ++failing) {
        for (bool leavesReference : {false, true}) {
            SCOPED_TRACE(std::string(names[failing]) + (leavesReference ? ", leaving a reference" : ""));
            Log log;
            FakeContext context(log);
            context.failingGetter = failing;
            context.getterFailure = failures[failing];
            context.failingGetterLeavesReference = leavesReference;
            {
                ValidateRef object;
                EXPECT_EQ(failures[failing], object->OnStartPage(&context));
                std::vector<int> called;
                for (int index = 0; index <= failing; ++index)
                    called.push_back(index);
                EXPECT_EQ(called, context.gettersCalled);
                EXPECT_EQ(kNotHeld, context.Counts());
                EXPECT_EQ(1, context.references);
                Log released;
                if (leavesReference)
                    released.push_back(std::string("release ") + names[failing]);
                for (int index = 0; index < failing; ++index)
                    released.push_back(std::string("release ") + names[index]);
                released.push_back("release context");
                EXPECT_EQ(released, log);

                // Nothing is held: ending the page and destruction release nothing.
                log.clear();
                EXPECT_EQ(S_OK, object->OnEndPage());
                EXPECT_TRUE(log.empty());
            }
            EXPECT_TRUE(log.empty());
            EXPECT_EQ(kNotHeld, context.Counts());
        }
    }
}

// A page started while an earlier one still holds its objects: those are let go first.
TEST(PageHooks, StartAgainReleasesTheEarlierPage)
{
    Log log;
    FakeContext first(log), second(log), third(log);
    third.failingGetter = 2;
    ValidateRef object;
    ASSERT_EQ(S_OK, object->OnStartPage(&first));
    ASSERT_EQ(S_OK, object->OnStartPage(&second));
    EXPECT_EQ(kNotHeld, first.Counts());
    EXPECT_EQ(kHeld, second.Counts());
    // A failed start after a successful one leaves nothing of either page.
    EXPECT_EQ(E_FAIL, object->OnStartPage(&third));
    EXPECT_EQ(kNotHeld, second.Counts());
    EXPECT_EQ(kNotHeld, third.Counts());
    // A null context is refused before anything is let go.
    ASSERT_EQ(S_OK, object->OnStartPage(&first));
    EXPECT_EQ(E_POINTER, object->OnStartPage(nullptr));
    EXPECT_EQ(kHeld, first.Counts());
    object->OnEndPage();
}

TEST(PageHooks, DestructionInAStartedPageReleasesAllFiveInReverseOrder)
{
    Log log;
    FakeContext context(log);
    {
        ValidateRef object;
        ASSERT_EQ(S_OK, object->OnStartPage(&context));
        log.clear();
    }
    EXPECT_EQ(kNotHeld, context.Counts());
    EXPECT_EQ((Log{"release Application", "release Server", "release Session", "release Response",
                   "release Request"}),
              log);
}

// A member is emptied before its reference goes, so a host object that calls back into the
// page while being released finds nothing to release twice.
TEST(PageHooks, ReleaseThatReentersTheObject)
{
    Log log;
    FakeContext context(log);
    ValidateRef object;
    ASSERT_EQ(S_OK, object->OnStartPage(&context));
    context.request.onRelease = [&] {
        context.request.onRelease = nullptr;
        object->OnEndPage();
    };
    EXPECT_EQ(S_OK, object->OnEndPage());
    EXPECT_EQ(kNotHeld, context.Counts());
}

// The object gives its module lock back only after it has called out for the last time: a host
// that asked whether the library may go while the object is being destroyed would unload the code
// it is about to return into.
TEST(PageHooks, LibraryStaysLockedWhileDestructionReleasesTheHostObjects)
{
    LoadedServer dll;
    ASSERT_TRUE(dll.Complete());
    Log log;
    FakeContext context(log);
    std::vector<HRESULT> answers;
    for (int index = 0; index < 5; ++index)
        context.Intrinsic(index)->onRelease = [&] { answers.push_back(dll.canUnloadNow()); };
    IValidate* object = nullptr;
    ASSERT_EQ(S_OK, dll.CreateValidate(IID_IValidate, reinterpret_cast<void**>(&object)));
    ASSERT_EQ(S_OK, object->OnStartPage(&context));
    EXPECT_EQ(0u, object->Release());
    EXPECT_EQ(std::vector<HRESULT>(5, S_FALSE), answers);
    EXPECT_EQ(S_OK, dll.canUnloadNow());
}

}  // namespace
