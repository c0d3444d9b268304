#pragma once
#include <windows.h>

// GetTickCount64 for programs that must load on Windows XP and Server 2003, which lack it. The
// static threading runtime calls it through its import pointer; a shipped program links
// TickCountImport.cpp, which defines that pointer itself, so the import is never made and the
// call lands here: Windows's own function where there is one, else the 32-bit count carried on.
ULONGLONG WINAPI TickCount64();

// The 64-bit count after `last` once the 32-bit count reads `now`: a `now` below the low half of
// `last` means the 32-bit count wrapped (every 49.7 days) since.
ULONGLONG ExtendTickCount(ULONGLONG last, DWORD now);

// The carried-on count alone, on GetTickCount: what TickCount64 answers where Windows has no
// GetTickCount64. It keeps rising as long as it is called at least once per wrap.
ULONGLONG WINAPI CarriedTickCount();
