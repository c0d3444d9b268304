#pragma once
#include <windows.h>

#include <string>

// One version record as a call of the platform gave it.
struct VersionRecord {
    DWORD major = 0, minor = 0, build = 0, platformId = 0;
    std::string servicePack;  // UTF-8
    WORD servicePackMajor = 0, servicePackMinor = 0, suiteMask = 0;
    BYTE productType = 0;
};

// The machine and the process the report ran in.
struct HostRecord {
    std::string computerName;  // UTF-8
    VersionRecord reported;    // GetVersionExA: what a program without a supportedOS manifest is told
    VersionRecord kernel;      // RtlGetVersion: the kernel's own, never shimmed
    bool versionsDiffer = false;
    int processBits = 0;
    int osBits = 0;
    int elevated = -1;  // 1 or 0; -1 where the system has no elevation (before Vista) or cannot say
};

// Functions that Windows XP lacks (or that XP gold lacks) are found at run time.
HostRecord ReadHostRecord();
// "2026-12-09T15:20:07Z": the current time in UTC.
std::string UtcTimeNow();
