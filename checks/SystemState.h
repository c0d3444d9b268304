#pragma once
#include <windows.h>

#include "checks/CheckLog.h"

// Decisions (pure).
// The three reboot sources: "AUState" 8, update "Flags" 1 or 2, or a read of
// "PendingFileRenameOperations" that found the value, whatever its length (the data is never
// examined; ERROR_MORE_DATA counts like success).
bool RebootPending(DWORD autoUpdateState, DWORD updateFlags, LONG renameOperationsRead);
// Only an entry for `administrators` with SE_GROUP_ENABLED counts; deny-only entries do not.
bool GroupsHoldEnabledAdministrators(const TOKEN_GROUPS& groups, PSID administrators);
// How the group stands in the list, for the evidence: a deny-only entry is an administrator whose
// process is not elevated.
enum class AdministratorsEntry { Enabled, DenyOnly, NotEnabled, Absent };
AdministratorsEntry FindAdministrators(const TOKEN_GROUPS& groups, PSID administrators);

// The platform's records.
// Reads all three sources, in order, from HKEY_LOCAL_MACHINE in the default view. Given a log, it
// also records the other widely read signals, marked not part of the answer, and its rule:
// "auto-update-state", "update-flags", "file-renames", "source-unreadable", "other-signals-only"
// or "nothing-pending".
bool ReadRebootPending(CheckLog* log = nullptr);
// The group list of `token`, read into a zero-filled block of the size the token reports.
// Rules: "group-enabled", "group-deny-only", "group-not-enabled", "group-absent",
// "groups-unreadable".
bool TokenHoldsEnabledAdministrators(HANDLE token, PSID administrators, CheckLog* log = nullptr);
// The process token, not a thread's impersonation token, opened with 0xF00FF. Rules as above, and
// "sid-failed", "token-unreadable".
bool ProcessHoldsEnabledAdministrators(CheckLog* log = nullptr);
