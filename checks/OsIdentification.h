#pragma once
#include <windows.h>

#include "checks/CheckResult.h"

// Decisions over the version record (pure).
const char* EditionName(const OSVERSIONINFOEXA& record);
bool AdmitsServerRole(const OSVERSIONINFOEXA& record);
// The console and the agent share one rule.
bool AdmitsConsoleRole(const OSVERSIONINFOEXA& record);
// The service-pack text up to its first zero, never past the field's 128 bytes.
void ServicePackText(const OSVERSIONINFOA& record, char (&text)[kCheckTextSize]);

// The platform's records: zero-filled with their size set before the query, left all zero when
// the query fails (its success is not consulted).
OSVERSIONINFOEXA ReadExtendedVersion();
OSVERSIONINFOA ReadShortVersion();
