#pragma once
#include <windows.h>

#include "checks/CheckLog.h"
#include "checks/CheckText.h"

// Decisions over the version record (pure).
const char* EditionName(const OSVERSIONINFOEXA& record);
bool AdmitsServerRole(const OSVERSIONINFOEXA& record);
// The console and the agent share one rule.
bool AdmitsConsoleRole(const OSVERSIONINFOEXA& record);
// The service-pack text up to its first zero, never past the field's 128 bytes.
void ServicePackText(const OSVERSIONINFOA& record, char (&text)[kCheckTextSize]);

// The platform's records: zero-filled with their size set before the query, left all zero when
// the query fails (its success is not consulted).
// Given a log, each records the record GetVersionExA gave and, beside it (not part of the
// answer), the kernel's own; `query` then tells whether the query failed and whether the two
// records differ.
struct VersionQuery {
    bool failed = false;
    bool kernelDiffers = false;
};
OSVERSIONINFOEXA ReadExtendedVersion(CheckLog* log = nullptr, VersionQuery* query = nullptr);
OSVERSIONINFOA ReadShortVersion(CheckLog* log = nullptr, VersionQuery* query = nullptr);

// The kernel's version record (RtlGetVersion, found in ntdll at run time): unaffected by a
// compatibility mode or a missing supportedOS manifest. False, with the record zero, where the
// function is missing or fails.
bool ReadKernelVersion(OSVERSIONINFOEXA& record);
// "5.1.2600, platform 2, product type 1, suite 0x0100, service pack 3.0 "Service Pack 3"".
std::string DescribeVersion(const OSVERSIONINFOEXA& record);
