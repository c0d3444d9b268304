#pragma once
#include <oaidl.h>

// The system kind that this build's type library is made for, and the subkey of
// TypeLib\{LIBID}\1.0\409 under which RegisterTypeLib files it.
#ifdef _WIN64
constexpr SYSKIND kTargetSysKind = SYS_WIN64;
constexpr char kTargetPlatformKey[] = "win64";
#else
constexpr SYSKIND kTargetSysKind = SYS_WIN32;
constexpr char kTargetPlatformKey[] = "win32";
#endif
