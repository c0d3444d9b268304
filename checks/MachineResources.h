#pragma once
#include <windows.h>

#include "checks/CheckLog.h"

enum class MemoryThreshold { Max, Min, ConsoleMax, ConsoleMin };

// Decisions over the platform's records (pure).
// Total physical memory, unsigned, at least the threshold.
bool MemoryReaches(DWORD totalPhysical, MemoryThreshold threshold);
DWORD MemoryThresholdBytes(MemoryThreshold threshold);
// The memory status's total as 32 bits: anything above 0xFFFFFFFF stays 0xFFFFFFFF.
DWORD SaturatedTotalPhysical(ULONGLONG totalPhysical);
// Free bytes available to the caller, as a signed 64-bit number, compared as decimal text
// with 1073741824: a longer text passes, one of equal length passes when it sorts at or after.
bool FreeSpaceSuffices(LONGLONG freeBytesAvailable);
// The file-system name, trimmed of white space, is exactly "NTFS" (case matters).
bool IsNtfsName(const char* fileSystemName);

// The platform's records. Given a log, each records its calls, and the rule of a failure:
// "directory-unreadable" or "query-failed".
DWORD ReadTotalPhysicalMemory(CheckLog* log = nullptr);
// Free bytes available to the caller on the Windows directory's volume; 0 when either query fails.
LONGLONG ReadFreeBytesAvailable(CheckLog* log = nullptr);
// The file-system name of the Windows directory's volume; empty when either query fails.
void ReadWindowsVolumeFileSystem(char (&name)[256], CheckLog* log = nullptr);
