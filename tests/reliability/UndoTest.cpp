// A failed register pass takes back its failing root block from the journal of what it changed,
// so the registry is byte for byte as it was. Each script below once showed a way in which an
// undo that walked the block as the unregister pass does left keys behind or removed what was
// there before; each fails at its last entry (the type "sz" is no type), over an empty root and
// over what an earlier registration of its successful part left.
#include <gtest/gtest.h>

#include <string>

#include "ScratchRoots.h"
#include "registrar/ScriptParser.h"

namespace {

HRESULT Apply(const std::string& script, BOOL doRegister)
{
    ScriptVariables variables;
    variables.Add(L"Module", L"C:\\Morvaleth.DLL");
    ScriptParser parser;
    return parser.Apply(script.c_str(), variables, doRegister);
}

struct UndoCase {
    const char* name;
    std::string script;  // ends in " Broken = sz x }"
};

std::string Deep()
{
    // Three levels of 100 characters: deeper than a path that the platform takes in one call.
    std::string a(100, 'a'), b(100, 'b'), c(100, 'c');
    return "HKCR { " + a + " { " + b + " { " + c + " { NoRemove Made } } }";
}

const UndoCase kCases[] = {
    {"Unmarked", "HKCR { Made { Beneath } Other = s o"},
    {"KeyMadeAfterNoRemove", "HKCR { NoRemove Made"},
    {"KeyAfterADeleteOfAMissingKey", "HKCR { Delete Gone Made"},
    {"KeyNamedTwice", "HKCR { Same Same Made"},
    {"TokenThatBeginsWithABrace", "HKCR { A {x Made"},
    {"BlockAfterAValue", "HKCR { A val V = s v { B } Other"},
    {"KeyDeeperThanOnePathReaches", Deep()},
    {"ForceRemovedTreeAndOverwrittenValues", "HKCR { ForceRemove A = s new { val V = d 2 } val W = b 00"},
};

class Undo : public testing::TestWithParam<UndoCase> {
protected:
    void ExpectUnchangedByFailure(const std::string& failing)
    {
        RegistryTree before = roots.Snapshot();
        ASSERT_EQ(DISP_E_EXCEPTION, Apply(failing, TRUE));
        RegistryTree after = roots.Snapshot();
        EXPECT_EQ(before, after) << failing << "\nlost:\n" << Difference(before, after) << "left:\n"
                                 << Difference(after, before);
    }

    ScratchRoots roots{"Undo"};
};

TEST_P(Undo, FailedBlockLeavesTheRegistryAsItWas)
{
    std::string failing = GetParam().script + " Broken = sz x }";
    ExpectUnchangedByFailure(failing);

    // Over an earlier registration, with unrelated values and subkeys in the same keys.
    ASSERT_EQ(S_OK, Apply(GetParam().script + " }", TRUE));
    ASSERT_EQ(S_OK, Apply("HKCR { A = s before { val V = s kept \n Unrelated { val U = b 0102 } } \n Broken }", TRUE));
    ExpectUnchangedByFailure(failing);
}

TEST_F(Undo, EarlierRootBlocksStayApplied)
{
    ASSERT_EQ(DISP_E_EXCEPTION, Apply("HKCR { A { B = s b } } HKCR { ForceRemove A { C } Broken = sz x }", TRUE));
    RegistryTree after = roots.Snapshot();
    EXPECT_EQ((std::set<std::string>{"HKCR\\A", "HKCR\\A\\B"}), after.keys) << after.Describe();
    EXPECT_EQ(1u, after.values.size()) << after.Describe();
}

// Key names are compared without case; a tree removed under another spelling comes back as it was
// spelt (found by the fuzz: "S" lost and "s" left).
TEST_F(Undo, TreeRemovedUnderAnotherSpellingComesBackAsItWasSpelt)
{
    ASSERT_EQ(S_OK, Apply("HKCR { Tree { Sub = s kept } }", TRUE));
    ExpectUnchangedByFailure("HKCR { ForceRemove TREE { New } Broken = sz x }");
    ExpectUnchangedByFailure("HKCR { tree { Delete SUB } Broken = sz x }");
}

INSTANTIATE_TEST_SUITE_P(Scripts, Undo, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<UndoCase>& info) { return std::string(info.param.name); });

}  // namespace
