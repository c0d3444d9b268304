#pragma once
#include <windows.h>

// Decisions over the registry's answers (pure).
// .NET Framework 2.0 "Install" and 3.0 "InstallSuccess": exactly 1.
bool DotNetInstalled(DWORD number);
// IIS "MajorVersion", unsigned: 6 or later.
bool IisSixOrLater(DWORD majorVersion);
// MDAC "FullInstallVer" compared as text with _mbscmp: at or after "2.80.1022.0".
bool MdacTwoEightOrLater(const char* fullInstallVersion);

// The probes: each opens its key beneath HKEY_LOCAL_MACHINE in the default view (KEY_READ).
bool ProbeDotNetFramework2();
bool ProbeDotNetFramework3();
bool ProbeMdac28();  // a key that cannot be opened answers true, through the text "?"
bool ProbeIis();
bool ProbeBits();
bool ProbeAspNet20();
bool ProbeNoSus();  // true when the uninstall key does not open
