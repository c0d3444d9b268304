// Every allocation of the task allocator refused in turn, through the platform's malloc spy.
// Wine honours a spy that answers 0 from PreAlloc or PreRealloc: the call returns null and a
// block being reallocated stays as it was. Wine 8 miscounts CoTaskMemRealloc(NULL, n) under a
// spy; CoRevokeMallocSpy then answers E_ACCESSDENIED for good and no spy can be registered.
#include <gtest/gtest.h>
#include <objbase.h>

#include <functional>
#include <string>

#include "RegistrarFixture.h"
#include "registrar/ExpandScript.h"
#include "registrar/ScriptParser.h"
#include "support/Paths.h"
#include "support/TaskAllocatorSpy.h"

namespace {

class AllocationFailure : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, spy.Register()); }
    void TearDown() override { spy.Revoke(); }

    // Runs `attempt` with each allocation refused in turn until one run needs no refusal;
    // `check` sees the result of every refused run. Returns the number of allocations.
    long Sweep(const std::function<HRESULT()>& attempt, const std::function<void(long)>& check)
    {
        for (long refused = 0;; ++refused) {
            spy.Reset(refused);
            HRESULT result = attempt();
            if (!spy.Refused()) {
                spy.Reset();
                EXPECT_EQ(S_OK, result);
                return refused;
            }
            EXPECT_EQ(E_OUTOFMEMORY, result) << "allocation " << refused;
            EXPECT_EQ(0u, spy.Outstanding()) << "allocation " << refused;
            check(refused);
        }
    }

    TaskAllocatorSpy& spy = TaskAllocatorSpy::Instance();
};

TEST_F(AllocationFailure, AddLeavesTheTableAsItWas)
{
    ScriptVariables variables;
    for (int i = 0; i < 10; ++i)
        variables.Add((L"V" + std::to_wstring(i)).c_str(), L"v");
    long allocations = Sweep([&] { return variables.Add(L"Eleventh", L"e"); },
                             [&](long refused) {
                                 EXPECT_EQ(10u, variables.Count()) << refused;
                                 EXPECT_EQ(nullptr, variables.Find("Eleventh")) << refused;
                                 EXPECT_STREQ(L"v", variables.Find("V9")) << refused;
                             });
    EXPECT_EQ(4, allocations);  // name, value, entry, grown table
    EXPECT_STREQ(L"e", variables.Find("eleventh"));
}

TEST_F(AllocationFailure, ExpansionFailsWholeAndFreesItsOutput)
{
    ScriptVariables variables;
    variables.Add(L"Other", L"o");
    variables.Add(L"Long", std::wstring(100, L'x').c_str());
    LPSTR expanded = nullptr;
    long allocations = Sweep(
        [&] {
            CoTaskMemFree(expanded);
            expanded = nullptr;
            return ExpandScript("<%LONG%>", variables, &expanded);
        },
        [&](long refused) { EXPECT_EQ(nullptr, expanded) << refused; });
    ASSERT_NE(nullptr, expanded);
    EXPECT_EQ("<" + std::string(100, 'x') + ">", expanded);
    CoTaskMemFree(expanded);
    // output (16 bytes), two names compared, the value converted, the output doubled to 128
    EXPECT_EQ(7, allocations);
}

// Over a clean root and over an earlier registration: a refused allocation fails the pass before
// the registry is touched for its entry, and the undo leaves the registry exactly as it was.
TEST_F(AllocationFailure, RefusedAllocationLeavesTheRegistryAsItWas)
{
    RedirectedRoots roots;
    std::string script = ReadFileBytes(BesideExecutable("Morvaleth.rgs"));
    ScriptVariables variables;
    variables.Add(L"Module", kTestModule);
    auto apply = [&] {
        ScriptParser parser;
        return parser.Apply(script.c_str(), variables, TRUE);
    };
    for (bool registered : {false, true}) {
        std::set<std::string> before = Tree(roots.Scratch());
        long allocations = Sweep(apply, [&](long refused) {
            EXPECT_EQ(before, Tree(roots.Scratch())) << refused << (registered ? " over a registration" : "");
        });
        // output, the name compared, the value converted; the journal's block and its growths
        EXPECT_EQ(registered ? 8 : 7, allocations);
        EXPECT_EQ(Tree(roots.Scratch()).size(), 23u);
    }
}

}  // namespace
