#include "checks/SystemState.h"

#include <cstdio>
#include <cstring>

#include "checks/RegistryReads.h"
#include "registry/RegistryKey.h"

namespace {

const char kAutoUpdate[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update";
const char kUpdateExeVolatile[] = "SOFTWARE\\Microsoft\\Updates\\UpdateExeVolatile";
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

const DWORD kAutoUpdateRebootRequired = 8;
// Only a query is made. The open is checked against the thread's token when it impersonates (a page
// host's anonymous user), which may be refused the write rights on the process token.
const DWORD kProcessTokenAccess = TOKEN_QUERY;

ValueRead* Wanted(ValueRead& read, CheckLog* log) { return log != nullptr ? &read : nullptr; }

// A failed read other than absence: the answer may hide what could not be seen.
bool Unreadable(LONG status)
{
    return status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && status != ERROR_PATH_NOT_FOUND &&
           status != ERROR_MORE_DATA;
}

DWORD ReadSourceNumber(RegistryKey& key, const char* path, const char* value, CheckLog* log, bool& unreadable)
{
    DWORD number = 0;
    LONG opened = key.Open(HKEY_LOCAL_MACHINE, path, kDefaultViewRead);
    RecordOpen(log, path, kDefaultViewRead, opened);
    if (opened == ERROR_SUCCESS) {
        ValueRead read;
        number = QueryNumber(key.Handle(), value, Wanted(read, log));
        key.Close();
        RecordNumber(log, path, kDefaultViewRead, value, read, number);
        unreadable = unreadable || (log != nullptr && Unreadable(read.status));
    }
    unreadable = unreadable || Unreadable(opened);
    return number;
}

// Signals that other tools read, shown beside the answer and never part of it. They are the
// operating system's own keys, so they are read in the 64-bit view, where a 64-bit Windows keeps them.
const REGSAM kSignalRead = KEY_READ | KEY_WOW64_64KEY;

struct KeySignal {
    const char* path;
    const char* meaning;
};

const KeySignal kKeySignals[] = {
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\RebootPending",
     "present: Component Based Servicing waits for a restart"},
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update\\RebootRequired",
     "present: Windows Update asks for a restart"},
    {"SYSTEM\\CurrentControlSet\\Services\\Netlogon\\JoinDomain", "present: a domain join waits for a restart"},
    {"SYSTEM\\CurrentControlSet\\Services\\Netlogon\\AvoidSpnSet", "present: a domain join waits for a restart"},
};

const char kActiveComputerName[] = "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName";
const char kComputerName[] = "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName";

// Records the other signals; true when any of them shows a pending restart.
bool RecordOtherRebootSignals(CheckLog* log, const ValueRead* renames2)
{
    bool any = false;
    RegistryKey key;
    for (const KeySignal& signal : kKeySignals) {
        LONG opened = key.Open(HKEY_LOCAL_MACHINE, signal.path, kSignalRead);
        key.Close();
        RecordOpen(log, signal.path, kSignalRead, opened, false, opened == ERROR_SUCCESS ? signal.meaning : nullptr);
        any = any || opened == ERROR_SUCCESS;
    }
    // Read through the source's own key, which the default view shares (SYSTEM is never redirected).
    if (renames2 != nullptr) {
        bool present = renames2->status == ERROR_SUCCESS || renames2->status == ERROR_MORE_DATA;
        RecordPresence(log, kSessionManager, kDefaultViewRead, "PendingFileRenameOperations2", *renames2, false,
                       present ? "present: file renames wait for a restart" : nullptr);
        any = any || present;
    }
    // A rename takes effect at the next start: until then the two names differ.
    char names[2][kCheckTextSize];
    const char* paths[2] = {kActiveComputerName, kComputerName};
    ValueRead reads[2];
    for (int i = 0; i < 2; ++i) {
        std::memset(names[i], 0, sizeof names[i]);
        LONG opened = key.Open(HKEY_LOCAL_MACHINE, paths[i], kSignalRead);
        if (opened != ERROR_SUCCESS) {
            RecordOpen(log, paths[i], kSignalRead, opened, false);
            continue;
        }
        QueryText(key.Handle(), "ComputerName", names[i], &reads[i]);
        key.Close();
        bool renamed = i == 1 && reads[0].status == ERROR_SUCCESS && reads[1].status == ERROR_SUCCESS &&
                       lstrcmpiA(names[0], names[1]) != 0;
        RecordText(log, paths[i], kSignalRead, "ComputerName", reads[i], names[i], false,
                   renamed ? "differs from ActiveComputerName: a computer rename waits for a restart" : nullptr);
        any = any || renamed;
    }
    return any;
}

}  // namespace

bool RebootPending(DWORD autoUpdateState, DWORD updateFlags, LONG renameOperationsRead)
{
    // A list too long for the buffer is still a list of pending renames: the usual case, since
    // each entry is a pair of full paths.
    bool renamesPending = renameOperationsRead == ERROR_SUCCESS || renameOperationsRead == ERROR_MORE_DATA;
    return autoUpdateState == kAutoUpdateRebootRequired || updateFlags == 1 || updateFlags == 2 || renamesPending;
}

bool GroupsHoldEnabledAdministrators(const TOKEN_GROUPS& groups, PSID administrators)
{
    for (DWORD index = 0; index < groups.GroupCount; ++index) {
        const SID_AND_ATTRIBUTES& group = groups.Groups[index];
        if (EqualSid(group.Sid, administrators) && (group.Attributes & SE_GROUP_ENABLED) != 0)
            return true;
    }
    return false;
}

bool ReadRebootPending(CheckLog* log)
{
    // One holder serves the three sources in turn; all three are always read.
    RegistryKey key;
    bool unreadable = false;
    DWORD autoUpdateState = ReadSourceNumber(key, kAutoUpdate, "AUState", log, unreadable);
    DWORD updateFlags = ReadSourceNumber(key, kUpdateExeVolatile, "Flags", log, unreadable);
    LONG renameOperationsRead = ERROR_FILE_NOT_FOUND;
    ValueRead renames2;
    LONG opened = key.Open(HKEY_LOCAL_MACHINE, kSessionManager, kDefaultViewRead);
    RecordOpen(log, kSessionManager, kDefaultViewRead, opened);
    if (opened == ERROR_SUCCESS) {
        ValueRead read;
        renameOperationsRead = QueryStatus(key.Handle(), "PendingFileRenameOperations", Wanted(read, log));
        if (log != nullptr)
            QueryStatus(key.Handle(), "PendingFileRenameOperations2", &renames2);
        key.Close();
        RecordPresence(log, kSessionManager, kDefaultViewRead, "PendingFileRenameOperations", read);
    }
    bool pending = RebootPending(autoUpdateState, updateFlags, renameOperationsRead);
    if (log != nullptr) {
        unreadable = unreadable || Unreadable(opened) || Unreadable(renameOperationsRead);
        bool others = RecordOtherRebootSignals(log, opened == ERROR_SUCCESS ? &renames2 : nullptr);
        const char* rule = autoUpdateState == kAutoUpdateRebootRequired     ? "auto-update-state"
                           : updateFlags == 1 || updateFlags == 2            ? "update-flags"
                           : pending                                         ? "file-renames"
                           : unreadable                                      ? "source-unreadable"
                           : others                                          ? "other-signals-only"
                                                                             : "nothing-pending";
        RecordRule(log, rule);
    }
    return pending;
}

AdministratorsEntry FindAdministrators(const TOKEN_GROUPS& groups, PSID administrators)
{
    bool present = false;
    for (DWORD index = 0; index < groups.GroupCount; ++index) {
        const SID_AND_ATTRIBUTES& group = groups.Groups[index];
        if (!EqualSid(group.Sid, administrators))
            continue;
        if ((group.Attributes & SE_GROUP_ENABLED) != 0)
            return AdministratorsEntry::Enabled;
        present = true;
    }
    if (!present)
        return AdministratorsEntry::Absent;
    // Deny-only: what a filtered (not elevated) administrator's token holds.
    for (DWORD index = 0; index < groups.GroupCount; ++index) {
        const SID_AND_ATTRIBUTES& group = groups.Groups[index];
        if (EqualSid(group.Sid, administrators) && (group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY) != 0)
            return AdministratorsEntry::DenyOnly;
    }
    return AdministratorsEntry::NotEnabled;
}

bool TokenHoldsEnabledAdministrators(HANDLE token, PSID administrators, CheckLog* log)
{
    DWORD size = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
    HGLOBAL block = GlobalAlloc(GMEM_ZEROINIT, size);
    if (block == nullptr) {
        RecordCall(log, "GlobalAlloc", nullptr, ERROR_NOT_ENOUGH_MEMORY, nullptr);
        RecordRule(log, "groups-unreadable");
        return false;
    }
    bool found = false;
    TOKEN_GROUPS* groups = static_cast<TOKEN_GROUPS*>(block);
    BOOL read = GetTokenInformation(token, TokenGroups, groups, size, &size);
    DWORD error = read ? ERROR_SUCCESS : GetLastError();
    if (read)
        found = GroupsHoldEnabledAdministrators(*groups, administrators);
    if (log != nullptr) {
        static const char* const kShown[] = {"S-1-5-32-544 enabled", "S-1-5-32-544 present, deny-only",
                                             "S-1-5-32-544 present, not enabled", "S-1-5-32-544 absent"};
        static const char* const kRules[] = {"group-enabled", "group-deny-only", "group-not-enabled",
                                             "group-absent"};
        int entry = read ? static_cast<int>(FindAdministrators(*groups, administrators)) : 0;
        RecordCall(log, "GetTokenInformation", "TokenGroups", static_cast<long>(error), read ? kShown[entry] : nullptr);
        RecordRule(log, read ? kRules[entry] : "groups-unreadable");
    }
    GlobalFree(block);
    return found;
}

bool ProcessHoldsEnabledAdministrators(CheckLog* log)
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                  0, 0, 0, 0, &administrators)) {
        RecordCall(log, "AllocateAndInitializeSid", "S-1-5-32-544", static_cast<long>(GetLastError()), nullptr);
        RecordRule(log, "sid-failed");
        return false;
    }
    bool found = false;
    HANDLE token = nullptr;
    BOOL opened = OpenProcessToken(GetCurrentProcess(), kProcessTokenAccess, &token);
    if (log != nullptr) {
        char access[16];
        std::snprintf(access, sizeof access, "0x%lX", static_cast<unsigned long>(kProcessTokenAccess));
        RecordCall(log, "OpenProcessToken", access, opened ? ERROR_SUCCESS : static_cast<long>(GetLastError()), nullptr);
        if (!opened)
            RecordRule(log, "token-unreadable");
    }
    if (opened) {
        found = TokenHoldsEnabledAdministrators(token, administrators, log);
        CloseHandle(token);
    }
    FreeSid(administrators);
    return found;
}
