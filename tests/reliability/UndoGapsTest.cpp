// A register pass that fails undoes its failing root block by an unregister pass over it up to
// where it failed; where the unregister pass's own rules walk or spare differently from what the
// register pass did, the keys and values that the block created are removed from the record the
// pass keeps of them:
// - a key made after "NoRemove" in the block, which the unregister pass spares;
// - keys made after a key that is missing when the undo reaches it and has no block of its own
//   (removed by "Delete", or by the undo itself when a key is named twice): the rest of the block
//   is walked only;
// - a token that begins with "{" but is not "{": a key name to the register pass, a block to the
//   unregister pass;
// - a block after a value entry, applied by the register pass and stepped over by the unregister one.
// Each test below is the smallest script that showed one of them before the record was kept;
// ScriptFuzz.EveryFailedBlockLeavesNothingWhateverItMarks finds them all.
#include <gtest/gtest.h>

#include "ScratchRoots.h"
#include "registrar/ScriptParser.h"

namespace {

HRESULT Register(const char* script)
{
    ScriptVariables variables;
    variables.Add(L"Module", L"C:\\Morvaleth.DLL");
    ScriptParser parser;
    return parser.Apply(script, variables, TRUE);
}

class UndoGaps : public testing::Test {
protected:
    // The type "sz" is no type: the pass fails at it, after the keys before it were made.
    void ExpectNothingLeft(const char* script)
    {
        ASSERT_EQ(DISP_E_EXCEPTION, Register(script));
        RegistryTree left = roots.Snapshot();
        EXPECT_TRUE(left.Empty()) << script << "\nleft:\n" << left.Describe();
    }

    ScratchRoots roots{"UndoGaps"};
};

TEST_F(UndoGaps, WithoutMarksTheUndoLeavesNothing)
{
    ExpectNothingLeft("HKCR { Made { Beneath } Other = sz x }");
}

TEST_F(UndoGaps, KeyMadeAfterNoRemove)
{
    // Leaves HKCR\Made and HKCR\Broken.
    ExpectNothingLeft("HKCR { NoRemove Made Broken = sz x }");
}

TEST_F(UndoGaps, KeyAfterADeleteOfAMissingKey)
{
    // Leaves HKCR\Made.
    ExpectNothingLeft("HKCR { Delete Gone Made = sz x }");
}

TEST_F(UndoGaps, KeyAfterAKeyNamedTwice)
{
    // Leaves HKCR\Made: the undo removes Same at its first name and finds it missing at its second.
    ExpectNothingLeft("HKCR { Same Same Made = sz x }");
}

TEST_F(UndoGaps, KeyAfterATokenThatBeginsWithABrace)
{
    // Leaves HKCR\{x and HKCR\Made.
    ExpectNothingLeft("HKCR { A {x Made = sz x }");
}

TEST_F(UndoGaps, BlockAfterAValue)
{
    // Leaves HKCR\A and HKCR\A\B.
    ExpectNothingLeft("HKCR { A val V = s v { B } Other = sz x }");
}

}  // namespace
