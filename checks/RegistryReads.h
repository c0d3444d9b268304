#pragma once
#include <windows.h>

#include "checks/CheckText.h"
#include "checks/Recording.h"

// Value reads of the checks. The value's registry type is never examined; a read that does not
// report success leaves the preset answer, since the platform leaves the buffer undefined then.

// Access of the component probes and the reboot check: the process's default registry view.
const REGSAM kDefaultViewRead = KEY_READ;                    // 0x20019
// Access of the product queries: the 64-bit view even from a 32-bit process.
const REGSAM kSixtyFourBitViewRead = KEY_READ | KEY_WOW64_64KEY;  // 0x20119

// Bytes a text read may fill.
const DWORD kRegistryTextBytes = 260;

// Each read can hand back its status, type and size, for a log; null when nobody asks.

// A 32-bit number read with a data size of 4: 0 unless the read succeeds.
DWORD QueryNumber(HKEY key, const char* name, ValueRead* read = nullptr);

// A text read with a data size of 260 into `text`: the bytes up to the first zero byte, all 260
// when none is zero; empty unless the read succeeds.
void QueryText(HKEY key, const char* name, char (&text)[kCheckTextSize], ValueRead* read = nullptr);

// Reads up to 260 bytes that nobody looks at and returns the read's status.
LONG QueryStatus(HKEY key, const char* name, ValueRead* read = nullptr);
