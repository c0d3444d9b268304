#include "checks/SystemState.h"

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

DWORD ReadSourceNumber(RegistryKey& key, const char* path, const char* value)
{
    DWORD number = 0;
    if (key.Open(HKEY_LOCAL_MACHINE, path, kDefaultViewRead) == ERROR_SUCCESS) {
        number = QueryNumber(key.Handle(), value);
        key.Close();
    }
    return number;
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

bool ReadRebootPending()
{
    // One holder serves the three sources in turn; all three are always read.
    RegistryKey key;
    DWORD autoUpdateState = ReadSourceNumber(key, kAutoUpdate, "AUState");
    DWORD updateFlags = ReadSourceNumber(key, kUpdateExeVolatile, "Flags");
    LONG renameOperationsRead = ERROR_FILE_NOT_FOUND;
    if (key.Open(HKEY_LOCAL_MACHINE, kSessionManager, kDefaultViewRead) == ERROR_SUCCESS) {
        renameOperationsRead = QueryStatus(key.Handle(), "PendingFileRenameOperations");
        key.Close();
    }
    return RebootPending(autoUpdateState, updateFlags, renameOperationsRead);
}

bool TokenHoldsEnabledAdministrators(HANDLE token, PSID administrators)
{
    DWORD size = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
    HGLOBAL block = GlobalAlloc(GMEM_ZEROINIT, size);
    if (block == nullptr)
        return false;
    bool found = false;
    TOKEN_GROUPS* groups = static_cast<TOKEN_GROUPS*>(block);
    if (GetTokenInformation(token, TokenGroups, groups, size, &size))
        found = GroupsHoldEnabledAdministrators(*groups, administrators);
    GlobalFree(block);
    return found;
}

bool ProcessHoldsEnabledAdministrators()
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                  0, 0, 0, 0, &administrators))
        return false;
    bool found = false;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), kProcessTokenAccess, &token)) {
        found = TokenHoldsEnabledAdministrators(token, administrators);
        CloseHandle(token);
    }
    FreeSid(administrators);
    return found;
}
