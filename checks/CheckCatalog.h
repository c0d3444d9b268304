#pragma once
#include <cstddef>

#include "checks/CheckResult.h"
#include "checks/MachineResources.h"

// The 26 answers in the interface's order, without COM: what the object answers through
// IValidate and what the installer custom action publishes come from this one table.
typedef bool (*FlagAnswer)();
typedef void (*TextAnswer)(char (&text)[kCheckTextSize]);

struct CheckEntry {
    const char* name;  // the method's name in IValidate
    FlagAnswer flag;   // exactly one of the two is set
    TextAnswer text;
};

const std::size_t kCheckCount = 26;
extern const CheckEntry kCheckCatalog[kCheckCount];

// Answers that are compositions of a reading and a decision.
void ComposeEdition(char (&text)[kCheckTextSize]);
void ComposeServicePack(char (&text)[kCheckTextSize]);
void ComposeManagementPackVersion(char (&text)[kCheckTextSize]);
void ComposeAgentVersion(char (&text)[kCheckTextSize]);
void ComposeAscVersion(char (&text)[kCheckTextSize]);
bool ServerRole();
// The console and the agent.
bool ConsoleRole();
bool DiskSpace();
bool WindowsDriveNtfs();

template <MemoryThreshold threshold>
bool MemoryCheck()
{
    return MemoryReaches(ReadTotalPhysicalMemory(), threshold);
}
