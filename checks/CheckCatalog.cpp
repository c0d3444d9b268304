#include "checks/CheckCatalog.h"

#include "checks/ComponentProbes.h"
#include "checks/OsIdentification.h"
#include "checks/ProductQueries.h"
#include "checks/SystemState.h"

void ComposeEdition(char (&text)[kCheckTextSize])
{
    const char* name = EditionName(ReadExtendedVersion());
    lstrcpynA(text, name, sizeof text);
}

void ComposeServicePack(char (&text)[kCheckTextSize]) { ServicePackText(ReadShortVersion(), text); }

void ComposeManagementPackVersion(char (&text)[kCheckTextSize])
{
    QueryX64ProductVersion(X64Product::ManagementPack, text);
}
void ComposeAgentVersion(char (&text)[kCheckTextSize]) { QueryX64ProductVersion(X64Product::Agent, text); }
void ComposeAscVersion(char (&text)[kCheckTextSize]) { QueryX64ProductVersion(X64Product::Asc, text); }

bool ServerRole() { return AdmitsServerRole(ReadExtendedVersion()); }
bool ConsoleRole() { return AdmitsConsoleRole(ReadExtendedVersion()); }

bool DiskSpace() { return FreeSpaceSuffices(ReadFreeBytesAvailable()); }

bool WindowsDriveNtfs()
{
    char name[256];
    ReadWindowsVolumeFileSystem(name);
    return IsNtfsName(name);
}

#define CATALOG_FLAG(name, answer) {name, answer, nullptr}
#define CATALOG_TEXT(name, answer) {name, nullptr, answer}

const CheckEntry kCheckCatalog[kCheckCount] = {
    CATALOG_TEXT("GetVersion", ComposeEdition),
    CATALOG_FLAG("HasDotNetFramework2", ProbeDotNetFramework2),
    CATALOG_FLAG("HasDotNetFramework3", ProbeDotNetFramework3),
    CATALOG_FLAG("HasMDAC28", ProbeMdac28),
    CATALOG_FLAG("HasIIS", ProbeIis),
    CATALOG_FLAG("HasBITS", ProbeBits),
    CATALOG_FLAG("IsValidServer", ServerRole),
    CATALOG_FLAG("IsValidConsole", ConsoleRole),
    CATALOG_TEXT("GetServicePack", ComposeServicePack),
    CATALOG_FLAG("HasMaxPhyMem", MemoryCheck<MemoryThreshold::Max>),
    CATALOG_FLAG("IsWindowsDriveNTFS", WindowsDriveNtfs),
    CATALOG_FLAG("HasDiskSpace", DiskSpace),
    CATALOG_FLAG("NoSUS", ProbeNoSus),
    CATALOG_FLAG("HasMinPhyMem", MemoryCheck<MemoryThreshold::Min>),
    CATALOG_FLAG("IsRebootPending", ReadRebootPending),
    CATALOG_FLAG("IsAdmin", ProcessHoldsEnabledAdministrators),
    CATALOG_FLAG("HasASPNET20", ProbeAspNet20),
    CATALOG_FLAG("IsValidAgent", ConsoleRole),
    CATALOG_FLAG("ConsoleHasMinPhyMem", MemoryCheck<MemoryThreshold::ConsoleMin>),
    CATALOG_FLAG("ConsoleHasMaxPhyMem", MemoryCheck<MemoryThreshold::ConsoleMax>),
    CATALOG_TEXT("GetSCEPath", QuerySceInstallDirectory),
    CATALOG_TEXT("GetSCEType", QuerySceRole),
    CATALOG_TEXT("GetSCEVersion", QuerySceVersion),
    CATALOG_TEXT("GetMSMP_x64Version", ComposeManagementPackVersion),
    CATALOG_TEXT("GetAgent_x64Version", ComposeAgentVersion),
    CATALOG_TEXT("GetASC_x64Version", ComposeAscVersion),
};
