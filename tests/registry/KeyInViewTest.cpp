// Keys of the other registry view: every open and delete beneath one carries the view's flag, and
// where Windows lacks RegDeleteKeyExA nothing is deleted in the wrong view.
#include "registrar/OtherView.h"
#include "registry/KeyInView.h"
#include "registry/RegistryKey.h"
#include "support/SavedRegistry.h"

#include <gtest/gtest.h>

namespace {

const char kBase[] = "Software\\MorvalethTests\\KeyInView";

bool ExistsIn(REGSAM view, const std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kBase) + "\\" + name).c_str(), 0, KEY_READ | view, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void Make(REGSAM view, const std::string& name)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kBase) + "\\" + name).c_str(), 0,
                                             nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr));
    RegCloseKey(key);
}

struct Deletion {
    const char* what;
    bool platformCall;  // RegDeleteKeyExA as found, or none (32-bit XP)
    bool otherView;     // the other view's key, or the process's own
    LONG result;
    bool otherGone, ownGone;
};

// Runs in the 64-bit build against the 32-bit view (the 32-bit build's keys on 64-bit Windows), and
// in the 32-bit build under WoW64 against the 64-bit view.
TEST(KeyInView, OtherViewIsReachedOnlyWithItsFlag)
{
    REGSAM other = OtherRegistryView();
    if (other == 0)
        GTEST_SKIP() << "this process has one registry view only";
    SavedKey own(HKEY_LOCAL_MACHINE, kBase), theirs(HKEY_LOCAL_MACHINE, kBase, other);
    const Deletion cases[] = {
        {"RegDeleteKeyExA, other view", true, true, ERROR_SUCCESS, true, false},
        {"RegDeleteKeyExA, own view", true, false, ERROR_SUCCESS, false, true},
        {"no RegDeleteKeyExA, own view", false, false, ERROR_SUCCESS, false, true},
        {"no RegDeleteKeyExA, other view: nothing in the wrong one", false, true, ERROR_CALL_NOT_IMPLEMENTED, false,
         false},
    };
    for (const Deletion& row : cases) {
        SCOPED_TRACE(row.what);
        Make(0, "Leaf");
        Make(other, "Leaf");
        RegistryKey parent;
        ASSERT_EQ(ERROR_SUCCESS, parent.Open(HKEY_LOCAL_MACHINE, kBase, KEY_ALL_ACCESS | (row.otherView ? other : 0)));
        EXPECT_EQ(row.result, DeleteKeyInView(parent.Handle(), "Leaf", row.otherView ? other : 0,
                                              row.platformCall ? PlatformDeleteKeyEx() : nullptr));
        EXPECT_EQ(row.otherGone, !ExistsIn(other, "Leaf"));
        EXPECT_EQ(row.ownGone, !ExistsIn(0, "Leaf"));
    }

    // A whole tree of the other view; the own view's twin stays.
    for (REGSAM view : {REGSAM(0), other}) {
        Make(view, "Tree\\A\\B\\C");
        Make(view, "Tree\\D");
    }
    RegistryKey parent;
    ASSERT_EQ(ERROR_SUCCESS, parent.Open(HKEY_LOCAL_MACHINE, kBase, KEY_ALL_ACCESS | other));
    EXPECT_EQ(ERROR_SUCCESS, parent.DeleteTree("Tree", other));
    EXPECT_FALSE(ExistsIn(other, "Tree"));
    EXPECT_TRUE(ExistsIn(0, "Tree\\A\\B\\C"));
    EXPECT_TRUE(ExistsIn(0, "Tree\\D"));
}

// Where Windows has one view (32-bit XP, which lacks RegDeleteKeyExA), a view flag names that view.
TEST(KeyInView, OneViewDeletesWithoutTheCall)
{
    if (OtherRegistryView() != 0)
        GTEST_SKIP() << "this process has two registry views";
    SavedKey base(HKEY_LOCAL_MACHINE, kBase);
    Make(0, "Leaf");
    RegistryKey parent;
    ASSERT_EQ(ERROR_SUCCESS, parent.Open(HKEY_LOCAL_MACHINE, kBase, KEY_ALL_ACCESS));
    EXPECT_EQ(ERROR_SUCCESS, DeleteKeyInView(parent.Handle(), "Leaf", KEY_WOW64_64KEY, nullptr));
    EXPECT_FALSE(ExistsIn(0, "Leaf"));
}

}  // namespace
