// The library's own registration script (Morvaleth.rgs, copied beside the test executables).
#include <gtest/gtest.h>

#include <string>

#include "RegistrarFixture.h"
#include "support/Paths.h"

namespace {

using Lines = std::set<std::string>;

const std::string kClass = "CLSID\\{E3541FCC-DCF0-4045-898B-2795D6CD0E87}";
const std::string kClassId = "{E3541FCC-DCF0-4045-898B-2795D6CD0E87}";

std::string LibraryScript()
{
    std::string script = ReadFileBytes(BesideExecutable("Morvaleth.rgs"));
    EXPECT_EQ(637u, script.size());
    return script;
}

Lines Registered()
{
    return {
        "Morvaleth.Validate.7",
        "Morvaleth.Validate.7|@=sz:Validate Class",
        "Morvaleth.Validate.7\\CLSID",
        "Morvaleth.Validate.7\\CLSID|@=sz:" + kClassId,
        "Morvaleth.Validate",
        "Morvaleth.Validate|@=sz:Validate Class",
        "Morvaleth.Validate\\CLSID",
        "Morvaleth.Validate\\CLSID|@=sz:" + kClassId,
        "Morvaleth.Validate\\CurVer",
        "Morvaleth.Validate\\CurVer|@=sz:Morvaleth.Validate.7",
        "CLSID",
        kClass,
        kClass + "|@=sz:Validate Class",
        kClass + "\\ProgID",
        kClass + "\\ProgID|@=sz:Morvaleth.Validate.7",
        kClass + "\\VersionIndependentProgID",
        kClass + "\\VersionIndependentProgID|@=sz:Morvaleth.Validate",
        kClass + "\\Programmable",
        kClass + "\\InprocServer32",
        kClass + "\\InprocServer32|@=sz:" + ToAnsi(kTestModule),
        kClass + "\\InprocServer32|ThreadingModel=sz:Apartment",
        kClass + "\\TypeLib",
        kClass + "\\TypeLib|@=sz:{23DE8B21-CC1D-448D-B825-2C4D4DB8F325}",
    };
}

Lines Keys(const Lines& lines)
{
    Lines keys;
    for (const std::string& line : lines)
        if (line.find('|') == std::string::npos)
            keys.insert(line);
    return keys;
}

TEST(LibraryScript, RegistersTheClassAndReplacesItsKeyWhole)
{
    RedirectedRoots roots;
    Populate(roots.Scratch(), {kClass + "\\Stale", kClass + "\\Programmable\\Stale", "CLSID\\{Other}"});
    std::string script = LibraryScript();
    ASSERT_EQ(S_OK, ApplyScript(script, TRUE));
    Lines expected = Registered();
    expected.insert("CLSID\\{Other}");
    EXPECT_EQ(expected, Tree(roots.Scratch()));
    ASSERT_EQ(S_OK, ApplyScript(script, TRUE));
    EXPECT_EQ(expected, Tree(roots.Scratch()));
}

TEST(LibraryScript, UnregisterLeavesOnlyTheClsidKey)
{
    RedirectedRoots roots;
    std::string script = LibraryScript();
    ASSERT_EQ(S_OK, ApplyScript(script, TRUE));
    ASSERT_EQ(S_OK, ApplyScript(script, FALSE));
    EXPECT_EQ(Lines{"CLSID"}, Tree(roots.Scratch()));
    EXPECT_EQ(S_OK, ApplyScript(script, FALSE));
    EXPECT_EQ(Lines{"CLSID"}, Tree(roots.Scratch()));
}

// Each key of the script in turn can be neither opened nor created: registration fails and
// the root block leaves nothing behind that it created (default values that it wrote into
// keys that were already there stay; the undo removes keys, not values).
TEST(LibraryScript, KeyThatCannotBeCreatedFailsAndIsUndone)
{
    std::string script = LibraryScript();
    Lines keys;
    {
        RedirectedRoots roots;
        ASSERT_EQ(S_OK, ApplyScript(script, TRUE));
        keys = Keys(Tree(roots.Scratch()));
    }
    ASSERT_EQ(12u, keys.size());
    for (const std::string& key : keys) {
        RedirectedRoots roots;
        size_t parent = key.rfind('\\');
        if (parent != std::string::npos)
            MakeKey(roots.Scratch(), key.substr(0, parent));
        HKEY blocked = MakeBlockedKey(roots.Scratch(), key);
        ASSERT_NE(nullptr, blocked) << key;
        Lines before = Tree(roots.Scratch());
        ASSERT_EQ(1u, before.count(key + " (unreadable)")) << key;

        EXPECT_EQ(DISP_E_EXCEPTION, ApplyScript(script, TRUE)) << key;
        Lines after;
        for (const std::string& line : Tree(roots.Scratch()))
            if (line.find("|@=") == std::string::npos || !before.count(line.substr(0, line.find('|'))))
                after.insert(line);
        EXPECT_EQ(before, after) << key;
        Unblock(blocked);
    }
}

}  // namespace
