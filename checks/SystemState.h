#pragma once
#include <windows.h>

// Decisions (pure).
// The three reboot sources: "AUState" 8, update "Flags" 1 or 2, or a read of
// "PendingFileRenameOperations" that found the value, whatever its length (the data is never
// examined; ERROR_MORE_DATA counts like success).
bool RebootPending(DWORD autoUpdateState, DWORD updateFlags, LONG renameOperationsRead);
// Only an entry for `administrators` with SE_GROUP_ENABLED counts; deny-only entries do not.
bool GroupsHoldEnabledAdministrators(const TOKEN_GROUPS& groups, PSID administrators);

// The platform's records.
// Reads all three sources, in order, from HKEY_LOCAL_MACHINE in the default view.
bool ReadRebootPending();
// The group list of `token`, read into a zero-filled block of the size the token reports.
bool TokenHoldsEnabledAdministrators(HANDLE token, PSID administrators);
// The process token, not a thread's impersonation token, opened with 0xF00FF.
bool ProcessHoldsEnabledAdministrators();
