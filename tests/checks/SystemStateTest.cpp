#include "checks/SystemState.h"

#include <gtest/gtest.h>

#include <vector>

#include "CatalogCalls.h"
#include "support/SavedRegistry.h"

namespace {

const char kAutoUpdate[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update";
const char kUpdateExeVolatile[] = "SOFTWARE\\Microsoft\\Updates\\UpdateExeVolatile";
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

TEST(SystemStateDecisions, AnyOfTheThreeRebootSources)
{
    EXPECT_FALSE(RebootPending(0, 0, ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(RebootPending(8, 0, ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(RebootPending(7, 0, ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(RebootPending(9, 0, ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(RebootPending(0, 1, ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(RebootPending(0, 2, ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(RebootPending(0, 3, ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(RebootPending(0, 0xFFFFFFFF, ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(RebootPending(0, 0, ERROR_SUCCESS));
    EXPECT_TRUE(RebootPending(0, 0, ERROR_MORE_DATA));  // a list longer than the buffer
    EXPECT_FALSE(RebootPending(0, 0, ERROR_ACCESS_DENIED));
    EXPECT_TRUE(RebootPending(8, 2, ERROR_SUCCESS));
}

// The group list as the token hands it out: a count, then SID pointer and attributes per entry.
class GroupList {
public:
    void Add(PSID sid, DWORD attributes) { entries_.push_back({sid, attributes}); }
    const TOKEN_GROUPS& Groups(DWORD count)
    {
        block_.assign(sizeof(TOKEN_GROUPS) + entries_.size() * sizeof(SID_AND_ATTRIBUTES), 0);
        TOKEN_GROUPS* groups = reinterpret_cast<TOKEN_GROUPS*>(block_.data());
        groups->GroupCount = count;
        for (size_t index = 0; index < entries_.size(); ++index)
            groups->Groups[index] = entries_[index];
        return *groups;
    }
    const TOKEN_GROUPS& Groups() { return Groups(static_cast<DWORD>(entries_.size())); }

private:
    std::vector<SID_AND_ATTRIBUTES> entries_;
    std::vector<BYTE> block_;
};

class Sids : public testing::Test {
protected:
    Sids()
    {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        AllocateAndInitializeSid(&nt, 2, 32, 544, 0, 0, 0, 0, 0, 0, &administrators);
        AllocateAndInitializeSid(&nt, 2, 32, 544, 0, 0, 0, 0, 0, 0, &administratorsCopy);
        AllocateAndInitializeSid(&nt, 2, 32, 545, 0, 0, 0, 0, 0, 0, &users);
        AllocateAndInitializeSid(&world, 2, 32, 544, 0, 0, 0, 0, 0, 0, &otherAuthority);
        AllocateAndInitializeSid(&nt, 3, 32, 544, 0, 0, 0, 0, 0, 0, &longer);
    }
    ~Sids() override
    {
        for (PSID sid : {administrators, administratorsCopy, users, otherAuthority, longer})
            FreeSid(sid);
    }
    PSID administrators = nullptr, administratorsCopy = nullptr, users = nullptr, otherAuthority = nullptr,
         longer = nullptr;
};

typedef Sids TokenGroupDecision;

TEST_F(TokenGroupDecision, OnlyAnEnabledAdministratorsEntryCounts)
{
    // The evidence tells a filtered administrator (deny-only) from one without the group.
    const AdministratorsEntry kEnabled = AdministratorsEntry::Enabled, kDenyOnly = AdministratorsEntry::DenyOnly,
                              kNotEnabled = AdministratorsEntry::NotEnabled;
    const struct {
        DWORD attributes;
        bool expected;
        AdministratorsEntry entry;
    } cases[] = {
        {SE_GROUP_ENABLED, true, kEnabled},
        {SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED | SE_GROUP_OWNER, true, kEnabled},  // Wine
        {SE_GROUP_USE_FOR_DENY_ONLY, false, kDenyOnly},
        {SE_GROUP_USE_FOR_DENY_ONLY | SE_GROUP_OWNER | SE_GROUP_MANDATORY, false, kDenyOnly},  // a filtered token
        {SE_GROUP_ENABLED_BY_DEFAULT, false, kNotEnabled},
        {SE_GROUP_MANDATORY, false, kNotEnabled},
        {0, false, kNotEnabled},
        {0xFFFFFFFF, true, kEnabled},
    };
    for (const auto& c : cases) {
        GroupList list;
        list.Add(users, SE_GROUP_ENABLED);
        list.Add(administratorsCopy, c.attributes);  // equal, not the same pointer
        EXPECT_EQ(c.expected, GroupsHoldEnabledAdministrators(list.Groups(), administrators)) << c.attributes;
        EXPECT_EQ(c.entry, FindAdministrators(list.Groups(), administrators)) << c.attributes;
    }
    GroupList none;
    none.Add(users, SE_GROUP_ENABLED);
    EXPECT_EQ(AdministratorsEntry::Absent, FindAdministrators(none.Groups(), administrators));
}

TEST_F(TokenGroupDecision, AbsentOrLookAlikeGroupsDoNotCount)
{
    GroupList none;
    EXPECT_FALSE(GroupsHoldEnabledAdministrators(none.Groups(), administrators));

    GroupList others;
    others.Add(users, SE_GROUP_ENABLED);
    others.Add(otherAuthority, SE_GROUP_ENABLED);  // S-1-1-32-544
    others.Add(longer, SE_GROUP_ENABLED);          // S-1-5-32-544-0
    EXPECT_FALSE(GroupsHoldEnabledAdministrators(others.Groups(), administrators));
}

TEST_F(TokenGroupDecision, EveryCountedEntryIsWalkedAndNoMore)
{
    GroupList list;
    list.Add(administratorsCopy, SE_GROUP_USE_FOR_DENY_ONLY);
    for (int index = 0; index < 20; ++index)
        list.Add(users, SE_GROUP_ENABLED);
    list.Add(administratorsCopy, SE_GROUP_ENABLED);
    EXPECT_TRUE(GroupsHoldEnabledAdministrators(list.Groups(), administrators));
    // The same entries, but the count stops before the enabled one.
    EXPECT_FALSE(GroupsHoldEnabledAdministrators(list.Groups(21), administrators));
    EXPECT_FALSE(GroupsHoldEnabledAdministrators(list.Groups(0), administrators));
}

// Against the platform. Wine's process token holds Administrators with attributes 0xF
// (mandatory, enabled by default, enabled, owner): Wine runs programs as an elevated administrator.
class AdministratorsToken : public Sids {
protected:
    static bool RunningUnderWine()
    {
        return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    }
    // The process token with the Administrators group turned deny-only.
    HANDLE DenyOnlyToken()
    {
        HANDLE process = nullptr, restricted = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &process))
            return nullptr;
        SID_AND_ATTRIBUTES disabled = {administrators, 0};
        if (!CreateRestrictedToken(process, 0, 1, &disabled, 0, nullptr, 0, nullptr, &restricted))
            restricted = nullptr;
        CloseHandle(process);
        return restricted;
    }
};

TEST_F(AdministratorsToken, IsAdminAnswersFromTheProcessToken)
{
    BOOL member = FALSE;
    ASSERT_TRUE(CheckTokenMembership(nullptr, administrators, &member));
    EXPECT_EQ(member ? 1 : 0, Flag(kIsAdmin));
    if (RunningUnderWine()) {
        EXPECT_EQ(1, Flag(kIsAdmin));
    }
}

TEST_F(AdministratorsToken, ADenyOnlyGroupDoesNotCount)
{
    HANDLE restricted = DenyOnlyToken();
    ASSERT_NE(nullptr, restricted);
    EXPECT_FALSE(TokenHoldsEnabledAdministrators(restricted, administrators));
    CloseHandle(restricted);
}

// A thread impersonating a token without the group changes nothing: the process token counts.
TEST_F(AdministratorsToken, ImpersonationIsNotConsulted)
{
    HANDLE restricted = DenyOnlyToken();
    ASSERT_NE(nullptr, restricted);
    HANDLE impersonation = nullptr;
    ASSERT_TRUE(DuplicateToken(restricted, SecurityImpersonation, &impersonation));
    int before = Flag(kIsAdmin);
    ASSERT_TRUE(SetThreadToken(nullptr, impersonation));
    BOOL member = TRUE;
    CheckTokenMembership(nullptr, administrators, &member);
    int during = Flag(kIsAdmin);
    RevertToSelf();
    EXPECT_FALSE(member) << "the impersonation took no effect";
    EXPECT_EQ(before, during);
    CloseHandle(impersonation);
    CloseHandle(restricted);
}

// The process token's DACL for the length of a test; put back on every path.
class TokenDacl {
public:
    explicit TokenDacl(HANDLE token) : token_(token)
    {
        DWORD needed = 0;
        GetKernelObjectSecurity(token, DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
        saved_.resize(needed);
        saved = needed > 0 && GetKernelObjectSecurity(token, DACL_SECURITY_INFORMATION, saved_.data(), needed, &needed);
    }
    ~TokenDacl()
    {
        if (saved)
            SetKernelObjectSecurity(token_, DACL_SECURITY_INFORMATION, saved_.data());
    }
    bool saved = false;

private:
    HANDLE token_;
    std::vector<BYTE> saved_;
};

// A page host impersonating its anonymous user: that thread token may query the process token
// but not write it, and the open is checked against it. The answer stays the process's own.
TEST_F(AdministratorsToken, AnImpersonationThatMayOnlyQueryTheProcessTokenChangesNothing)
{
    HANDLE restricted = DenyOnlyToken();
    ASSERT_NE(nullptr, restricted);
    HANDLE impersonation = nullptr;
    ASSERT_TRUE(DuplicateToken(restricted, SecurityImpersonation, &impersonation));
    CloseHandle(restricted);
    HANDLE process = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), READ_CONTROL | WRITE_DAC, &process));
    int before = Flag(kIsAdmin);
    BOOL writable = TRUE;
    int during = -1;
    {
        TokenDacl restore(process);
        ASSERT_TRUE(restore.saved);
        // Everything to an enabled Administrators (the process), a query to everyone (the
        // impersonation, whose Administrators is deny-only).
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
        BYTE aclBytes[256];
        ACL* acl = reinterpret_cast<ACL*>(aclBytes);
        SECURITY_DESCRIPTOR descriptor;
        bool set = InitializeAcl(acl, sizeof aclBytes, ACL_REVISION) &&
                   AddAccessAllowedAce(acl, ACL_REVISION, TOKEN_ALL_ACCESS, administrators) &&
                   AddAccessAllowedAce(acl, ACL_REVISION, TOKEN_QUERY, everyone) &&
                   InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                   SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
                   SetKernelObjectSecurity(process, DACL_SECURITY_INFORMATION, &descriptor);
        FreeSid(everyone);
        ASSERT_TRUE(set);
        ASSERT_TRUE(SetThreadToken(nullptr, impersonation));
        HANDLE probe = nullptr;
        writable = OpenProcessToken(GetCurrentProcess(), STANDARD_RIGHTS_REQUIRED | 0xFF, &probe);
        if (probe != nullptr)
            CloseHandle(probe);
        during = Flag(kIsAdmin);
        RevertToSelf();
    }
    CloseHandle(process);
    CloseHandle(impersonation);
    EXPECT_FALSE(writable) << "the impersonation may write the process token: the case is not made";
    EXPECT_EQ(before, during);
}

class RebootSources : public testing::Test {
protected:
    RebootSources()
    {
        autoUpdate.Remove();
        updates.Remove();
        renames.Delete();
    }
    SavedKey autoUpdate{HKEY_LOCAL_MACHINE, kAutoUpdate};
    SavedKey updates{HKEY_LOCAL_MACHINE, kUpdateExeVolatile};
    SavedValue renames{HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations"};

    void SetRenames(DWORD bytes)
    {
        // A multi-string of file names; only whether it fits in 260 bytes matters.
        std::vector<char> data(bytes, 'x');
        for (DWORD index = 0; index < bytes; index += 50)
            data[index] = '\0';
        if (bytes >= 2)
            data[bytes - 1] = data[bytes - 2] = '\0';
        renames.Set(REG_MULTI_SZ, data.data(), bytes);
    }
};

TEST_F(RebootSources, NothingPending)
{
    EXPECT_EQ(0, Flag(kIsRebootPending));
    autoUpdate.MakeEmpty();
    updates.MakeEmpty();
    EXPECT_EQ(0, Flag(kIsRebootPending));
}

TEST_F(RebootSources, AutomaticUpdates)
{
    autoUpdate.SetDword("AUState", 8);
    EXPECT_EQ(1, Flag(kIsRebootPending));
    autoUpdate.SetDword("AUState", 7);
    EXPECT_EQ(0, Flag(kIsRebootPending));
    autoUpdate.SetDword("AUState", 8);
    updates.SetDword("Flags", 3);  // does not count, and does not hide the first source
    EXPECT_EQ(1, Flag(kIsRebootPending));
    autoUpdate.MakeUnreadable();
    EXPECT_EQ(0, Flag(kIsRebootPending));
}

TEST_F(RebootSources, UpdateFlags)
{
    const struct {
        DWORD flags;
        int expected;
    } cases[] = {{1, 1}, {2, 1}, {3, 0}, {0, 0}, {0x101, 0}};
    for (const auto& c : cases) {
        updates.SetDword("Flags", c.flags);
        EXPECT_EQ(c.expected, Flag(kIsRebootPending)) << c.flags;
    }
    updates.SetDword("Flags", 1);
    updates.MakeUnreadable();
    EXPECT_EQ(0, Flag(kIsRebootPending));
}

TEST_F(RebootSources, PendingFileRenameOperations)
{
    SetRenames(100);
    EXPECT_EQ(1, Flag(kIsRebootPending));
    SetRenames(260);
    EXPECT_EQ(1, Flag(kIsRebootPending));
    // Longer than the 260-byte buffer: still pending, as most real lists are.
    SetRenames(261);
    EXPECT_EQ(1, Flag(kIsRebootPending));
    SetRenames(2000);
    EXPECT_EQ(1, Flag(kIsRebootPending));
    renames.Set(REG_MULTI_SZ, "", 0);  // present and empty
    EXPECT_EQ(1, Flag(kIsRebootPending));
    renames.Delete();
    EXPECT_EQ(0, Flag(kIsRebootPending));
}

}  // namespace
