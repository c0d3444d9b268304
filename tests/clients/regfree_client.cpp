// Activation without registration, with nothing registered: by both ProgIDs through an
// application manifest (regfree_app.exe) and through an activation context made at run time from
// the DLL's own manifest. Each way must reach the DLL beside the test and leave the registry alone.
#include "support/Paths.h"
#include "support/Process.h"
#include "support/ScratchKey.h"

#include "Checks.h"
#include "common/Activation.h"
#include "regfree/FirstObject.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <map>
#include <sstream>
#include <vector>

namespace {

const char* const kRegistration[] = {
    "Morvaleth.Validate.7", "Morvaleth.Validate", "CLSID\\{E3541FCC-DCF0-4045-898B-2795D6CD0E87}",
    "TypeLib\\{23DE8B21-CC1D-448D-B825-2C4D4DB8F325}", "Interface\\{A1BAB43A-0951-4A61-8416-A50590D6683A}"};
const wchar_t* const kProgIds[] = {L"Morvaleth.Validate.7", L"Morvaleth.Validate"};

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

class RegistrationFree : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* key : kRegistration)
            RemoveKeyTree(HKEY_CLASSES_ROOT, key);
        CLSID clsid;
        ASSERT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(L"Morvaleth.Validate", &clsid)) << "the class is registered";
    }
    void TearDown() override
    {
        CoFreeUnusedLibraries();
        for (const char* key : kRegistration)
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key << " was written";
    }

    void ExpectReachedTheDll(const std::string& way, const std::string& progId, const FirstObject& first)
    {
        SCOPED_TRACE(way + ", " + progId);
        EXPECT_EQ(S_OK, first.progId);
        EXPECT_EQ(S_OK, first.create);
        EXPECT_EQ(S_OK, first.names);
        EXPECT_EQ(S_OK, first.invoke);
        EXPECT_FALSE(first.lateText.empty());
        EXPECT_EQ(first.earlyText, first.lateText);
        EXPECT_EQ(Lower(Widen(BesideExecutable("Morvaleth.DLL"))), Lower(first.module));
    }
};

TEST_F(RegistrationFree, ApplicationManifestByBothProgIds)
{
    std::string output;
    ASSERT_EQ(0, RunProcessCapture("\"" + BesideExecutable("regfree_app.exe") + "\"", output)) << output;
    std::map<std::string, FirstObject> seen;
    std::istringstream lines(output);
    std::string line, progId;
    while (std::getline(lines, line)) {
        FirstObject first;
        if (Parse(line, progId, first))
            seen[progId] = first;
    }
    ASSERT_EQ(2u, seen.size()) << output;
    for (const auto& entry : seen)
        ExpectReachedTheDll("application manifest", entry.first, entry.second);
}

TEST_F(RegistrationFree, RunTimeContextByBothProgIdsAndOnlyWhileActive)
{
    {
        ManifestContext context(Widen(BesideExecutable("Morvaleth.DLL")));
        ASSERT_EQ(S_OK, context.Result());
        for (const wchar_t* progId : kProgIds)
            ExpectReachedTheDll("run-time context", ToAnsi(progId), CreateFirstObject(progId));
    }
    // The context is gone: the class is unknown again.
    EXPECT_EQ(CO_E_CLASSSTRING, CreateFirstObject(L"Morvaleth.Validate").progId);
}

// Script hosts activate the context around CreateObject only (Microsoft.Windows.ActCtx), and some
// hosts drop it: every check must still answer by name once it is gone.
TEST_F(RegistrationFree, LateBindingOutlivesTheContext)
{
    // Freshly loaded, so that no type information is left from a call made inside a context.
    CoFreeUnusedLibrariesEx(0, 0);
    const std::wstring dll = Widen(BesideExecutable("Morvaleth.DLL"));
    ASSERT_EQ(nullptr, GetModuleHandleW(dll.c_str())) << "the DLL is still loaded";
    IDispatch* object = nullptr;
    {
        ManifestContext context(dll);
        ASSERT_EQ(S_OK, context.Result());
        ASSERT_EQ(S_OK, CreateByProgId(L"Morvaleth.Validate", IID_IDispatch, reinterpret_cast<void**>(&object)));
    }
    std::vector<Answer> answers = CallLateBound(object);
    object->Release();
    EXPECT_EQ(26u, answers.size());
    for (const Answer& answer : answers)
        EXPECT_EQ(S_OK, answer.result) << ToAnsi(answer.check);
}

}  // namespace
