#pragma once
#include <windows.h>

#include "checks/CheckLog.h"

// Decisions over the registry's answers (pure).
// .NET Framework 2.0 "Install" and 3.0 "InstallSuccess": exactly 1.
bool DotNetInstalled(DWORD number);
// IIS "MajorVersion", unsigned: 6 or later.
bool IisSixOrLater(DWORD majorVersion);
// MDAC "FullInstallVer" compared as text with _mbscmp: at or after "2.80.1022.0".
bool MdacTwoEightOrLater(const char* fullInstallVersion);

// The probes: each opens its key beneath HKEY_LOCAL_MACHINE in the default view (KEY_READ) and,
// given a log, records its reads and its rule: "key-present", "key-missing", "key-unreadable",
// "value-missing", "value-unreadable", "value-wrong-type", "value-meets", "value-falls-short".
bool ProbeDotNetFramework2(CheckLog* log = nullptr);
bool ProbeDotNetFramework3(CheckLog* log = nullptr);
bool ProbeMdac28(CheckLog* log = nullptr);  // a key that cannot be opened answers true, through "?"
bool ProbeIis(CheckLog* log = nullptr);
bool ProbeBits(CheckLog* log = nullptr);
bool ProbeAspNet20(CheckLog* log = nullptr);
bool ProbeNoSus(CheckLog* log = nullptr);  // true when the uninstall key does not open
