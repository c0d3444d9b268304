// Creates Validate through COM itself, from a class key written for the test, and calls every
// check early-bound through IValidate.
#include "support/Paths.h"
#include "support/ScratchKey.h"
#include "Checks.h"

#include <Morvaleth.h>
#include <gtest/gtest.h>

namespace {

const char kClassKey[] = "CLSID\\{E3541FCC-DCF0-4045-898B-2795D6CD0E87}";

class ComClient : public testing::Test {
protected:
    void SetUp() override
    {
        RemoveKeyTree(HKEY_CLASSES_ROOT, kClassKey);
        std::string server = std::string(kClassKey) + "\\InprocServer32";
        SetStringValue(HKEY_CLASSES_ROOT, server, nullptr, BesideExecutable("Morvaleth.DLL"));
        SetStringValue(HKEY_CLASSES_ROOT, server, "ThreadingModel", "Apartment");
    }
    void TearDown() override
    {
        CoFreeUnusedLibraries();
        RemoveKeyTree(HKEY_CLASSES_ROOT, kClassKey);
    }
};

TEST_F(ComClient, CreatesTheObjectAndCallsEveryCheck)
{
    IValidate* object = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Validate, nullptr, CLSCTX_INPROC_SERVER, IID_IValidate,
                                     reinterpret_cast<void**>(&object)));
    std::vector<Answer> answers = CallEarlyBound(object);
    ASSERT_EQ(26u, answers.size());
    for (const Answer& answer : answers) {
        EXPECT_EQ(S_OK, answer.result) << answer.check;
        if (answer.isText)
            EXPECT_FALSE(answer.textWasNull) << answer.check;
        else
            EXPECT_TRUE(answer.rawFlag == 0 || answer.rawFlag == 1) << answer.check << " wrote " << answer.rawFlag;
    }
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
    EXPECT_EQ(static_cast<void*>(object), static_cast<void*>(dispatch));
    dispatch->Release();
    EXPECT_EQ(0u, object->Release());
}

TEST_F(ComClient, ClassObjectThroughCoGetClassObject)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, CoGetClassObject(CLSID_Validate, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)));
    IUnknown* object = nullptr;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(factory, IID_IUnknown, reinterpret_cast<void**>(&object)));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)));
    object->Release();
    factory->Release();
}

}  // namespace
