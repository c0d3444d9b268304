#pragma once
#include <cstddef>

#include "checks/CheckLog.h"
#include "checks/CheckText.h"
#include "checks/MachineResources.h"

// The 26 answers in the interface's order, without COM: what the object answers through
// IValidate, what the installer custom action publishes and what the report explains come from
// this one table. Each answer takes an optional log: null (the object's case) records nothing.
typedef bool (*FlagAnswer)(CheckLog* log);
typedef void (*TextAnswer)(char (&text)[kCheckTextSize], CheckLog* log);

struct CheckEntry {
    const char* name;  // the method's name in IValidate
    FlagAnswer flag;   // exactly one of the two is set
    TextAnswer text;
};

const std::size_t kCheckCount = 26;
extern const CheckEntry kCheckCatalog[kCheckCount];

// Positions in the catalog, which is the interface's order: the dispatch identifier less one.
enum CheckIndex : std::size_t {
    kGetVersion, kHasDotNetFramework2, kHasDotNetFramework3, kHasMDAC28, kHasIIS, kHasBITS, kIsValidServer,
    kIsValidConsole, kGetServicePack, kHasMaxPhyMem, kIsWindowsDriveNTFS, kHasDiskSpace, kNoSUS, kHasMinPhyMem,
    kIsRebootPending, kIsAdmin, kHasASPNET20, kIsValidAgent, kConsoleHasMinPhyMem, kConsoleHasMaxPhyMem,
    kGetSCEPath, kGetSCEType, kGetSCEVersion, kGetMSMP_x64Version, kGetAgent_x64Version, kGetASC_x64Version,
};

// The entry of that name (exact spelling), or null.
const CheckEntry* FindCheck(const char* name);

// Answers that are compositions of a reading and a decision. Given a log, each records the rule
// that decided (see docs/CHECKS.md for every check's rules).
void ComposeEdition(char (&text)[kCheckTextSize], CheckLog* log = nullptr);
void ComposeServicePack(char (&text)[kCheckTextSize], CheckLog* log = nullptr);
void ComposeManagementPackVersion(char (&text)[kCheckTextSize], CheckLog* log = nullptr);
void ComposeAgentVersion(char (&text)[kCheckTextSize], CheckLog* log = nullptr);
void ComposeAscVersion(char (&text)[kCheckTextSize], CheckLog* log = nullptr);
bool ServerRole(CheckLog* log = nullptr);
// The console and the agent.
bool ConsoleRole(CheckLog* log = nullptr);
bool DiskSpace(CheckLog* log = nullptr);
bool WindowsDriveNtfs(CheckLog* log = nullptr);
bool MemoryAnswer(MemoryThreshold threshold, CheckLog* log);

template <MemoryThreshold threshold>
bool MemoryCheck(CheckLog* log = nullptr)
{
    return MemoryAnswer(threshold, log);
}
