// Answers with their reasons, against real keys of the test prefix: present, absent, wrong-typed
// and denied (an empty DACL), each with the state, reason code and readings it must give.
#include "checks/CheckExplanation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "checks/CheckReasons.h"
#include "support/SavedRegistry.h"

namespace {

const char kDotNet2[] = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727";
const char kMdac[] = "SOFTWARE\\Microsoft\\DataAccess";
const char kBits[] = "SYSTEM\\CurrentControlSet\\Services\\BITS";
const char kSceSetup[] = "SOFTWARE\\Microsoft\\Microsoft Operations Manager\\3.0\\Setup";
const char kAutoUpdate[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update";
const char kUpdateExeVolatile[] = "SOFTWARE\\Microsoft\\Updates\\UpdateExeVolatile";
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kServicingPending[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\RebootPending";

CheckOutcome Explain(CheckIndex index) { return ExplainCheck(kCheckCatalog[index]); }

std::string Answer(const CheckOutcome& outcome)
{
    return outcome.isText ? outcome.text : outcome.flag ? "true" : "false";
}

// What the decisive reading shows: the first part of the answer that reads a value, else the open.
struct Shown {
    long status;
    const char* type;  // null: no type
    const char* data;  // null: no data
};

void ExpectDecisiveReading(const CheckOutcome& outcome, const Shown& shown, const char* view)
{
    const Reading* decisive = nullptr;
    for (const Reading& reading : outcome.readings) {
        if (reading.partOfAnswer && (decisive == nullptr || reading.hasValue) &&
            (decisive == nullptr || !decisive->hasValue))
            decisive = &reading;
    }
    ASSERT_NE(nullptr, decisive);
    EXPECT_EQ("HKLM", decisive->root);
    EXPECT_STREQ(view, ViewName(decisive->view));
    EXPECT_EQ(shown.status, decisive->status) << StatusName(decisive->status);
    EXPECT_EQ(shown.type != nullptr, decisive->hasType);
    if (shown.type != nullptr && decisive->hasType) {
        EXPECT_EQ(shown.type, RegistryTypeName(decisive->type));
    }
    EXPECT_EQ(shown.data != nullptr, decisive->hasData);
    if (shown.data != nullptr && decisive->hasData) {
        EXPECT_EQ(shown.data, decisive->data);
    }
}

struct RegistryCase {
    const char* what;
    CheckIndex check;
    const char* path;
    REGSAM view;
    std::function<void(SavedKey&)> arrange;
    const char* answer;
    CheckState state;
    const char* reasonCode;
    Shown shown;
};

TEST(CheckExplanation, RegistryReadingsForPresentAbsentWrongTypedAndDeniedKeys)
{
    const DWORD one = '1';  // the text "1" stored where a number belongs reads as 49
    const RegistryCase cases[] = {
        {".NET 2.0 absent", kHasDotNetFramework2, kDotNet2, 0, [](SavedKey& k) { k.Remove(); }, "false",
         CheckState::Determined, "key-missing", {ERROR_FILE_NOT_FOUND, nullptr, nullptr}},
        {".NET 2.0 present", kHasDotNetFramework2, kDotNet2, 0, [](SavedKey& k) { k.SetDword("Install", 1); },
         "true", CheckState::Determined, "value-meets", {ERROR_SUCCESS, "REG_DWORD", "1"}},
        {".NET 2.0 Install 0", kHasDotNetFramework2, kDotNet2, 0, [](SavedKey& k) { k.SetDword("Install", 0); },
         "false", CheckState::Determined, "value-falls-short", {ERROR_SUCCESS, "REG_DWORD", "0"}},
        {".NET 2.0 without Install", kHasDotNetFramework2, kDotNet2, 0, [](SavedKey& k) { k.MakeEmpty(); }, "false",
         CheckState::Determined, "value-missing", {ERROR_FILE_NOT_FOUND, nullptr, nullptr}},
        {".NET 2.0 Install as text", kHasDotNetFramework2, kDotNet2, 0,
         [&](SavedKey& k) { k.SetRaw("Install", REG_SZ, &one, 2); }, "false", CheckState::Undetermined,
         "value-wrong-type", {ERROR_SUCCESS, "REG_SZ", "49"}},
        {".NET 2.0 denied", kHasDotNetFramework2, kDotNet2, 0, [](SavedKey& k) { k.MakeUnreadable(); }, "false",
         CheckState::Undetermined, "key-unreadable", {ERROR_ACCESS_DENIED, nullptr, nullptr}},
        {"MDAC absent", kHasMDAC28, kMdac, 0, [](SavedKey& k) { k.Remove(); }, "true", CheckState::Undetermined,
         "key-missing-fallback", {ERROR_FILE_NOT_FOUND, nullptr, nullptr}},
        {"MDAC 2.80.1022.0", kHasMDAC28, kMdac, 0, [](SavedKey& k) { k.SetString("FullInstallVer", "2.80.1022.0"); },
         "true", CheckState::Determined, "value-meets", {ERROR_SUCCESS, "REG_SZ", "2.80.1022.0"}},
        {"MDAC denied", kHasMDAC28, kMdac, 0, [](SavedKey& k) { k.MakeUnreadable(); }, "true",
         CheckState::Undetermined, "key-unreadable-fallback", {ERROR_ACCESS_DENIED, nullptr, nullptr}},
        {"BITS denied", kHasBITS, kBits, 0, [](SavedKey& k) { k.MakeUnreadable(); }, "false",
         CheckState::Undetermined, "key-unreadable", {ERROR_ACCESS_DENIED, nullptr, nullptr}},
        {"SCE absent", kGetSCEPath, kSceSetup, KEY_WOW64_64KEY, [](SavedKey& k) { k.Remove(); }, "?",
         CheckState::Determined, "key-missing", {ERROR_FILE_NOT_FOUND, nullptr, nullptr}},
        {"SCE present", kGetSCEPath, kSceSetup, KEY_WOW64_64KEY,
         [](SavedKey& k) { k.SetString("InstallDirectory", "C:\\SCE\\"); }, "C:\\SCE\\", CheckState::Determined,
         "value-read", {ERROR_SUCCESS, "REG_SZ", "C:\\SCE\\"}},
        {"SCE denied", kGetSCEPath, kSceSetup, KEY_WOW64_64KEY, [](SavedKey& k) { k.MakeUnreadable(); }, "?",
         CheckState::Undetermined, "key-unreadable-fallback", {ERROR_ACCESS_DENIED, nullptr, nullptr}},
    };
    for (const RegistryCase& c : cases) {
        SCOPED_TRACE(c.what);
        SavedKey key(HKEY_LOCAL_MACHINE, c.path, c.view);
        c.arrange(key);
        CheckOutcome outcome = Explain(c.check);
        EXPECT_EQ(c.answer, Answer(outcome));
        EXPECT_EQ(c.state, outcome.state);
        EXPECT_EQ(c.reasonCode, outcome.reasonCode);
        EXPECT_NE(std::string::npos, outcome.reason.find(c.path)) << outcome.reason;
        ExpectDecisiveReading(outcome, c.shown, c.view == 0 ? "default" : "64");
    }
}

TEST(CheckExplanation, MdacWithTheKeyMissingSaysSo)
{
    SavedKey key(HKEY_LOCAL_MACHINE, kMdac);
    key.Remove();
    CheckOutcome outcome = Explain(kHasMDAC28);
    EXPECT_TRUE(outcome.flag);
    EXPECT_EQ("HKLM\\SOFTWARE\\Microsoft\\DataAccess not found: this check answers true when the key is missing",
              outcome.reason);
    EXPECT_EQ("docs/CHECKS.md#hasmdac28", outcome.help);
}

// The three sources are the answer; the other signals are shown beside it and never change it.
TEST(CheckExplanation, RebootSignalsBesideTheAnswer)
{
    SavedKey autoUpdate(HKEY_LOCAL_MACHINE, kAutoUpdate);
    SavedKey updates(HKEY_LOCAL_MACHINE, kUpdateExeVolatile);
    SavedValue renames(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations");
    SavedKey servicing(HKEY_LOCAL_MACHINE, kServicingPending, KEY_WOW64_64KEY);
    autoUpdate.Remove();
    updates.Remove();
    renames.Delete();
    servicing.Remove();
    CheckOutcome outcome = Explain(kIsRebootPending);
    EXPECT_FALSE(outcome.flag);
    EXPECT_EQ("nothing-pending", outcome.reasonCode);

    servicing.MakeEmpty();
    outcome = Explain(kIsRebootPending);
    EXPECT_FALSE(outcome.flag);
    EXPECT_EQ(CheckState::Determined, outcome.state);
    EXPECT_EQ("other-signals-only", outcome.reasonCode);
    bool servicingShown = false;
    std::vector<std::string> sources;
    for (const Reading& reading : outcome.readings) {
        if (reading.partOfAnswer && reading.hasValue)
            sources.push_back(reading.value);
        if (!reading.partOfAnswer && reading.path == kServicingPending)
            servicingShown = reading.status == ERROR_SUCCESS && !reading.note.empty();
    }
    // AUState and Flags are read only where their keys open: here neither does.
    EXPECT_EQ(std::vector<std::string>{"PendingFileRenameOperations"}, sources);
    EXPECT_TRUE(servicingShown);

    autoUpdate.SetDword("AUState", 8);
    outcome = Explain(kIsRebootPending);
    EXPECT_TRUE(outcome.flag);
    EXPECT_EQ("auto-update-state", outcome.reasonCode);
}

// Every check names a rule that its table explains, here and now, and the words fill in.
TEST(CheckExplanation, EveryAnswerHasAStateAReasonAndItsSection)
{
    std::vector<CheckOutcome> outcomes = ExplainAll();
    ASSERT_EQ(kCheckCount, outcomes.size());
    for (std::size_t i = 0; i < kCheckCount; ++i) {
        const CheckOutcome& outcome = outcomes[i];
        SCOPED_TRACE(kCheckCatalog[i].name);
        EXPECT_EQ(&kCheckCatalog[i], outcome.entry);
        EXPECT_NE("rule-unknown", outcome.reasonCode);
        for (const char* placeholder : {"{key}", "{value}", "{data}", "{type}", "{status}", "{answer}", "{subject}",
                                        "{need}", "{version}", "{kernel}"})
            EXPECT_EQ(std::string::npos, outcome.reason.find(placeholder)) << outcome.reason;
        EXPECT_FALSE(outcome.readings.empty());
        ASSERT_NE(nullptr, FindReasons(kCheckCatalog[i].name));
    }
}

}  // namespace
