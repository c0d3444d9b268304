#pragma once
#include <windows.h>

#include "checks/CheckLog.h"
#include "checks/CheckLog.h"
#include "checks/CheckText.h"

// Decisions over the registry's answers (pure).
// "InstallUIOnly" of the System Center Essentials uninstall key: "CONSOLE" when set, else "SERVER".
const char* SceRoleText(DWORD installUiOnly);
// Major and minor as "%d.%d", each a signed 32-bit number.
void FormatProductVersion(DWORD major, DWORD minor, char (&text)[kCheckTextSize]);

enum class X64Product { ManagementPack, Agent, Asc };

// The queries: each opens its key beneath HKEY_LOCAL_MACHINE in the 64-bit view (0x20119) and
// composes its text, or its fallback when the key does not open. Given a log, each records its
// reads and its rule: "key-missing", "key-unreadable", "value-missing", "value-unreadable",
// "value-wrong-type", "value-read" ("value-console" and "value-server" for the role).
void QuerySceInstallDirectory(char (&text)[kCheckTextSize], CheckLog* log = nullptr);  // fallback "?"
void QuerySceRole(char (&text)[kCheckTextSize], CheckLog* log = nullptr);              // fallback "?"
void QuerySceVersion(char (&text)[kCheckTextSize], CheckLog* log = nullptr);           // fallback "0.0.0.0"
void QueryX64ProductVersion(X64Product product, char (&text)[kCheckTextSize],
                            CheckLog* log = nullptr);  // fallback "0.0"
