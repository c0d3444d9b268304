// Deleting in a registry view, with RegDeleteKeyExA and without it (32-bit XP lacks it): nothing
// is ever deleted in the wrong view. tests/server/OtherViewRemainsTest.cpp watches DeleteTree.
#include "registrar/OtherView.h"
#include "registry/KeyInView.h"
#include "registry/RegistryKey.h"
#include "support/SavedRegistry.h"

#include <gtest/gtest.h>

#include <iterator>
#include <vector>

namespace {

const char kBase[] = "Software\\MorvalethTests\\KeyInView";

bool LeafIn(REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kBase) + "\\Leaf").c_str(), 0, KEY_READ | view, &key) != 0)
        return false;
    RegCloseKey(key);
    return true;
}

struct Deletion {
    bool platformCall, otherView;
    LONG result;
    bool otherGone, ownGone;
};

// The 64-bit build against the 32-bit view (the 32-bit build's keys on 64-bit Windows); the 32-bit
// build under WoW64 against the 64-bit view; in a one-view process the flag names that one view.
TEST(KeyInView, DeletesInTheNamedViewOnly)
{
    REGSAM other = OtherRegistryView();
    const Deletion twoViews[] = {
        {true, true, ERROR_SUCCESS, true, false},
        {true, false, ERROR_SUCCESS, false, true},
        {false, false, ERROR_SUCCESS, false, true},
        {false, true, ERROR_CALL_NOT_IMPLEMENTED, false, false},
    };
    const Deletion oneView[] = {{false, true, ERROR_SUCCESS, true, true}};
    SavedKey own(HKEY_LOCAL_MACHINE, kBase), theirs(HKEY_LOCAL_MACHINE, kBase, other);
    const std::vector<Deletion> rows = other != 0 ? std::vector<Deletion>(std::begin(twoViews), std::end(twoViews))
                                                  : std::vector<Deletion>(std::begin(oneView), std::end(oneView));
    for (const Deletion& row : rows) {
        SCOPED_TRACE(testing::Message() << "RegDeleteKeyExA " << row.platformCall << ", other view " << row.otherView);
        REGSAM view = row.otherView ? (other != 0 ? other : KEY_WOW64_64KEY) : 0;
        for (REGSAM in : {REGSAM(0), other}) {
            HKEY made = nullptr;
            ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kBase) + "\\Leaf").c_str(), 0,
                                                     nullptr, 0, KEY_ALL_ACCESS | in, nullptr, &made, nullptr));
            RegCloseKey(made);
        }
        RegistryKey parent;
        ASSERT_EQ(ERROR_SUCCESS, parent.Open(HKEY_LOCAL_MACHINE, kBase, KEY_ALL_ACCESS | view));
        EXPECT_EQ(row.result, DeleteKeyInView(parent.Handle(), "Leaf", view,
                                              row.platformCall ? PlatformDeleteKeyEx() : nullptr));
        EXPECT_EQ(row.otherGone, !LeafIn(other));
        EXPECT_EQ(row.ownGone, !LeafIn(0));
    }
}

}  // namespace
