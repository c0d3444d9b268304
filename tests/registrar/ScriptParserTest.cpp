// The script language in both passes, against HKEY_CLASSES_ROOT redirected to a scratch key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RegistrarFixture.h"

namespace {

using Lines = std::set<std::string>;

struct Case {
    const char* name;
    Lines before;  // the registry beneath the root before the pass
    std::string script;
    HRESULT result;
    Lines after;
};

std::ostream& operator<<(std::ostream& out, const Case& c) { return out << c.name; }

std::string Repeat(char c, size_t count) { return std::string(count, c); }

// Nested key entries "K { K { ... } }" making `levels` brace levels with the root block.
std::string Nested(int levels)
{
    std::string script = "HKCR {";
    for (int i = 1; i < levels; ++i)
        script += " K {";
    for (int i = 0; i < levels; ++i)
        script += " }";
    return script;
}

Lines NestedKeys(int depth)
{
    Lines keys;
    std::string path;
    for (int i = 0; i < depth; ++i) {
        path += path.empty() ? "K" : "\\K";
        keys.insert(path);
    }
    return keys;
}

std::vector<Case> RegisterCases()
{
    const HRESULT X = DISP_E_EXCEPTION;
    return {
        {"EmptyTextTouchesNothing", {}, "", S_OK, {}},
        {"BlanksOnlyFail", {}, " \t\r\n", X, {}},
        {"RootNameIgnoresCase", {}, "hkcr { A }", S_OK, {"A"}},
        {"RootWithSubkeyPathFails", {}, "HKCR\\Sub { A }", X, {}},
        {"UnknownRootFails", {}, "HKXX { A }", X, {}},
        {"MissingBraceFails", {}, "HKCR A }", X, {}},
        {"EndOfTextInBlockFails", {}, "HKCR { A", X, {}},
        {"UnterminatedQuoteFails", {}, "HKCR { A = s 'x }", X, {}},
        {"KeyNameWithBackslashFails", {}, "HKCR { A\\B }", X, {}},
        {"ValueNameWithBackslashIsAccepted", {}, "HKCR { A { val 'x\\y' = s v } }", S_OK,
         {"A", "A|x\\y=sz:v"}},
        {"DoubledQuoteStandsForOne", {}, "HKCR { A = s 'it''s' }", S_OK, {"A", "A|@=sz:it's"}},
        {"BackslashIsOrdinaryInAValue", {}, "HKCR { A = s 'C:\\dir\\' }", S_OK, {"A", "A|@=sz:C:\\dir\\"}},
        {"QuoteInsideUnquotedTokenIsOrdinary", {}, "HKCR { a'b }", S_OK, {"a'b"}},
        {"ClosingQuoteMayTouchTheNextToken", {}, "HKCR { 'A'B }", S_OK, {"A", "B"}},
        {"EqualsWithoutBlanksIsPartOfTheName", {}, "HKCR { K=s }", S_OK, {"K=s"}},
        {"QuotedKeywordIsAKeyword", {}, "HKCR { A { 'Val' V = s x } }", S_OK, {"A", "A|V=sz:x"}},
        {"TokenBeginningWithBraceEndsTheBlock", {}, "HKCR { A }x", S_OK, {"A"}},
        {"TypeLettersIgnoreCase", {},
         "HKCR { A = S x \n B = d 42 \n C = B 0A1b \n D = b zz \n E = b '' \n val F = D &H10 }", S_OK,
         {"A", "A|@=sz:x", "B", "B|@=dword:42", "C", "C|@=bin:0a1b", "D", "D|@=bin:00", "E",
          "E|@=bin:", "|F=dword:16"}},
        {"UnknownTypeLetterFails", {}, "HKCR { A = sz x }", X, {}},
        {"OddBinaryFailsAndWritesNothing", {"A"}, "HKCR { NoRemove A { val V = b 0A1 } }", E_FAIL, {"A"}},
        {"UnconvertibleNumberFailsAndWritesNothing", {"A"},
         "HKCR { NoRemove A { val V = d many } }", X, {"A"}},
        {"MissingEqualsAfterValueNameFails", {}, "HKCR { val V s x }", X, {}},
        {"TokenOf4094BytesIsAccepted", {}, "HKCR { A = s '" + Repeat('x', 4094) + "' }", S_OK,
         {"A", "A|@=sz:" + Repeat('x', 4094)}},
        {"TokenOf4095BytesFails", {}, "HKCR { A = s '" + Repeat('x', 4095) + "' }", X, {}},
        {"UnquotedTokenOf4095BytesFails", {}, "HKCR { A = s " + Repeat('x', 4095) + " }", X, {}},
        {"ValueNameOf259BytesIsWritten", {}, "HKCR { A { val " + Repeat('v', 259) + " = s x } }", S_OK,
         {"A", "A|" + Repeat('v', 259) + "=sz:x"}},
        {"ValueNameOf260BytesIsNeverCut", {"A"},
         "HKCR { NoRemove A { val " + Repeat('v', 260) + " = s x } }", X, {"A"}},
        {"KeyNameOf260BytesIsNeverCut", {}, "HKCR { " + Repeat('k', 260) + " }", X, {}},
        {"ForceRemovedKeyNameOf260BytesFails", {"A"}, "HKCR { ForceRemove " + Repeat('k', 260) + " }",
         X, {"A"}},
        {"EmptyKeyNameFails", {}, "HKCR { '' = s x }", X, {}},
        {"ForceRemoveOfAnEmptyNameRemovesNothing", {"A\\B"}, "HKCR { ForceRemove '' }", X, {"A", "A\\B"}},
        {"SixtyFourLevelsAreApplied", {}, Nested(64), S_OK, NestedKeys(63)},
        {"SixtyFiveLevelsFailAndAreUndone", {}, Nested(65), X, {}},
        {"BlockAfterValueWithNoKeyOpenFails", {}, "HKCR { val V = s x { val W = s y } }", X, {}},
        {"BlockAfterDeleteWithNoKeyOpenFails", {}, "HKCR { Delete X { val W = s y } }", X, {}},
        {"BlockAfterValueGoesBeneathTheCurrentKey", {}, "HKCR { A \n val V = s x { B } }", S_OK,
         {"A", "A\\B", "|V=sz:x"}},
        {"ExistingKeyIsOpenedAndKeepsItsContent", {"A\\Old", "A|@=sz:old"}, "HKCR { A = s new }", S_OK,
         {"A", "A\\Old", "A|@=sz:new"}},
        {"ForceRemoveReplacesTheWholeTree", {"A\\Old\\Deeper", "A|x=sz:old"},
         "HKCR { ForceRemove A = s new { New } }", S_OK, {"A", "A|@=sz:new", "A\\New"}},
        {"ForcedRemovalSparesProtectedNames", {"CLSID\\X", "TypeLib\\Y"},
         "HKCR { ForceRemove clsid \n Delete TYPELIB }", S_OK, {"CLSID", "CLSID\\X", "TypeLib", "TypeLib\\Y"}},
        {"DeleteRemovesTheTreeAndWritesNothing", {"X\\Y"}, "HKCR { Delete X = s v \n B }", S_OK, {"B"}},
        {"NoRemoveIsOnlyAMarkHere", {}, "HKCR { NoRemove A }", S_OK, {"A"}},
        {"SeveralRootBlocks", {}, "HKCR { A } HKEY_CLASSES_ROOT { B }", S_OK, {"A", "B"}},
        {"FailingSecondRootBlockIsUndoneAlone", {},
         "HKCR { A { X } } HKCR { B { C = s c } \n D = s d \n E\\F }", X, {"A", "A\\X"}},
        {"FailureGivesBackWhatItOverwroteAndRemoved",
         {"A|@=sz:old", "A|n=dword:7", "F\\G|v=sz:deep", "F|@=sz:f", "K\\L", "A\\Kept"},
         "HKCR { A = s new { val n = d 8 \n val m = s x \n Made } \n ForceRemove F = s g \n Delete K \n M = sz x }", X,
         {"A", "A|@=sz:old", "A|n=dword:7", "A\\Kept", "F", "F\\G", "F\\G|v=sz:deep", "F|@=sz:f", "K", "K\\L"}},
        {"GuidNamedKeysAreKeysWhereverTheyStand", {},
         "HKCR { A \n {G1} \n {G2} { {G3} \n {G4} } }", S_OK, {"A", "{G1}", "{G2}", "{G2}\\{G3}", "{G2}\\{G4}"}},
        {"FormErrorDeepInABlockIsUndone", {},
         "HKCR { A { B = s x \n C { val D = s y } \n E\\F } }", X, {}},
    };
}

std::vector<Case> UnregisterCases()
{
    const HRESULT X = DISP_E_EXCEPTION;
    return {
        {"RemovesWhatTheScriptNames", {"A|@=sz:x", "A\\B|V=dword:1", "C"},
         "HKCR { A = s x { B { val V = d 1 } } \n C }", S_OK, {}},
        {"GuidNamedKeysAreKeysWhereverTheyStand", {"A", "{G1}", "{G2}\\{G3}", "{G2}\\{G4}"},
         "HKCR { A \n {G1} \n {G2} { {G3} \n {G4} } }", S_OK, {}},
        {"NoRemoveSparesTheRestOfTheBlock", {"A\\X", "B"}, "HKCR { NoRemove A { X } \n B }", S_OK,
         {"A", "B"}},
        {"SubBlocksDeleteAgainAfterNoRemove", {"A\\X\\Y"}, "HKCR { NoRemove A { X { Y } } }", S_OK, {"A"}},
        {"MissingKeyWithSubBlockIsSteppedOver", {"B", "C"}, "HKCR { A { B } \n C }", S_OK, {"B"}},
        {"MissingKeyWithoutSubBlockLeavesItsSiblingsHandled", {"B", "C", "D"},
         "HKCR { A \n B \n C { } \n D }", S_OK, {}},
        {"KeyWithOnlyItsDefaultValueIsDeleted", {"A|@=sz:x"}, "HKCR { A = s x }", S_OK, {}},
        {"KeyWithNamedValuesButNoSubBlockKeepsTheWalkInStep", {"N|other=sz:x", "W"},
         "HKCR { N \n W }", S_OK, {}},
        {"EmptyKeyWithSubBlockKeepsTheWalkInStep", {"X", "Y", "Z"}, "HKCR { X { Y } \n Z }", S_OK, {"Y"}},
        {"KeyWithSubkeysIsLeftWhole", {"A\\A", "A\\Other"}, "HKCR { A }", S_OK, {"A", "A\\A", "A\\Other"}},
        {"KeyWithUnnamedSubkeyAfterItsBlockStays", {"A\\B", "A\\Other"}, "HKCR { A { B } }", S_OK,
         {"A", "A\\Other"}},
        {"ValueEntriesAreDeleted", {"A|V=sz:x", "A|W=sz:y", "A\\B"}, "HKCR { A { val V = s x } }", S_OK,
         {"A", "A\\B", "A|W=sz:y"}},
        {"NamedValuesDoNotSaveAKeyWithoutSubkeys", {"A|V=sz:x", "A|W=sz:y"}, "HKCR { A { val V = s x } }",
         S_OK, {}},
        {"MarkedKeysAreRemovedLikeOthers", {"A", "B"}, "HKCR { ForceRemove A \n Delete B }", S_OK, {}},
        // A keeps its place: it still had B when its turn came.
        {"BlockAfterValueIsUnregisteredBeneathTheCurrentKey", {"A\\B", "B", "C", "|V=sz:x"},
         "HKCR { A \n val V = s x { B } \n C }", S_OK, {"A", "B"}},
        {"BackslashFails", {"A"}, "HKCR { A\\B }", X, {"A"}},
        {"KeyNameOf260BytesFails", {}, "HKCR { " + Repeat('k', 260) + " }", X, {}},
        {"SixtyFiveLevelsFail", NestedKeys(64), Nested(65), X, NestedKeys(64)},
        {"MissingKeyStillNeedsAWellFormedSubBlock", {}, "HKCR { A { B\\C } }", X, {}},
    };
}

class RegisterPass : public testing::TestWithParam<Case> {
protected:
    RedirectedRoots roots;
};

TEST_P(RegisterPass, Applies)
{
    const Case& c = GetParam();
    HKEY classes = roots.Scratch();
    ASSERT_NE(nullptr, classes);
    Populate(classes, c.before);
    EXPECT_EQ(c.result, ApplyScript(c.script, TRUE));
    EXPECT_EQ(c.after, Tree(classes));
}

INSTANTIATE_TEST_SUITE_P(Script, RegisterPass, testing::ValuesIn(RegisterCases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

class UnregisterPass : public RegisterPass {};

TEST_P(UnregisterPass, Removes)
{
    const Case& c = GetParam();
    HKEY classes = roots.Scratch();
    ASSERT_NE(nullptr, classes);
    Populate(classes, c.before);
    EXPECT_EQ(c.result, ApplyScript(c.script, FALSE));
    EXPECT_EQ(c.after, Tree(classes));
}

INSTANTIATE_TEST_SUITE_P(Script, UnregisterPass, testing::ValuesIn(UnregisterCases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// The undo walks the failed block only up to the key that failed: a key named after it was
// never touched by the register pass, and stays even when it is empty.
TEST(ScriptUndo, EndsWhereTheBlockFailed)
{
    RedirectedRoots roots;
    Populate(roots.Scratch(), {"Later"});
    HKEY blocked = MakeBlockedKey(roots.Scratch(), "Blocked");
    ASSERT_NE(nullptr, blocked);
    EXPECT_EQ(DISP_E_EXCEPTION, ApplyScript("HKCR { A \n Blocked \n Later }", TRUE));
    EXPECT_EQ((Lines{"Blocked (unreadable)", "Later"}), Tree(roots.Scratch()));
    Unblock(blocked);
}

// Every name of the root table reaches its own root.
TEST(ScriptRoots, EveryNameReachesItsRoot)
{
    struct Root {
        const char* shortName;
        const char* longName;
        HKEY root;
    };
    const Root table[] = {
        {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKU", "HKEY_USERS", HKEY_USERS},
        {"HKPD", "HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
        {"HKDD", "HKEY_DYN_DATA", HKEY_DYN_DATA},
        {"HKCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    };
    RedirectedRoots roots(true);
    for (const Root& r : table) {
        HKEY scratch = roots.Scratch(r.root);
        if (scratch == nullptr) {
            // HKEY_PERFORMANCE_DATA holds no keys, redirected or not (Wine, Windows), and
            // HKEY_DYN_DATA does not exist on NT.
            std::cout << "[   NOTE   ] " << r.longName << " takes no redirected keys here; not tried\n";
            continue;
        }
        std::string script = std::string(r.shortName) + " { Short } " + r.longName + " { Long }";
        EXPECT_EQ(S_OK, ApplyScript(script, TRUE)) << r.shortName;
        EXPECT_EQ((Lines{"Long", "Short"}), Tree(scratch)) << r.shortName;
        EXPECT_EQ(S_OK, ApplyScript(script, FALSE)) << r.shortName;
        EXPECT_EQ(Lines{}, Tree(scratch)) << r.shortName;
    }
}

}  // namespace
