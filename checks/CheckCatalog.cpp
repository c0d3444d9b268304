#include "checks/CheckCatalog.h"

#include <cstring>

#include "checks/ComponentProbes.h"
#include "checks/OsIdentification.h"
#include "checks/ProductQueries.h"
#include "checks/Recording.h"
#include "checks/SystemState.h"

namespace {

const char kUnknownEdition[] = "UNKNOWN";

// The rule of a version decision: a failed query, then the decision's own words.
void DecideVersion(CheckLog* log, const VersionQuery& query, const char* decided)
{
    if (log == nullptr)
        return;
    RecordRule(log, query.failed ? "version-unreadable" : decided);
}

bool RoleAnswer(bool (*admits)(const OSVERSIONINFOEXA&), CheckLog* log)
{
    VersionQuery query;
    bool admitted = admits(ReadExtendedVersion(log, &query));
    DecideVersion(log, query, admitted ? "role-admitted" : "role-not-admitted");
    return admitted;
}

}  // namespace

void ComposeEdition(char (&text)[kCheckTextSize], CheckLog* log)
{
    VersionQuery query;
    const char* name = EditionName(ReadExtendedVersion(log, &query));
    lstrcpynA(text, name, sizeof text);
    bool listed = std::strcmp(name, kUnknownEdition) != 0;
    const char* decided = listed ? (query.kernelDiffers ? "edition-named-kernel-differs" : "edition-named")
                                 : (query.kernelDiffers ? "edition-not-listed-kernel-differs" : "edition-not-listed");
    DecideVersion(log, query, decided);
}

void ComposeServicePack(char (&text)[kCheckTextSize], CheckLog* log)
{
    VersionQuery query;
    ServicePackText(ReadShortVersion(log, &query), text);
    DecideVersion(log, query, text[0] != '\0' ? "service-pack-named" : "no-service-pack");
}

void ComposeManagementPackVersion(char (&text)[kCheckTextSize], CheckLog* log)
{
    QueryX64ProductVersion(X64Product::ManagementPack, text, log);
}
void ComposeAgentVersion(char (&text)[kCheckTextSize], CheckLog* log)
{
    QueryX64ProductVersion(X64Product::Agent, text, log);
}
void ComposeAscVersion(char (&text)[kCheckTextSize], CheckLog* log)
{
    QueryX64ProductVersion(X64Product::Asc, text, log);
}

bool ServerRole(CheckLog* log) { return RoleAnswer(AdmitsServerRole, log); }
bool ConsoleRole(CheckLog* log) { return RoleAnswer(AdmitsConsoleRole, log); }

bool DiskSpace(CheckLog* log)
{
    bool enough = FreeSpaceSuffices(ReadFreeBytesAvailable(log));
    // A failed query has named its rule already.
    if (log != nullptr && log->RuleCode().empty())
        RecordRule(log, enough ? "space-suffices" : "space-short");
    return enough;
}

bool WindowsDriveNtfs(CheckLog* log)
{
    char name[256];
    ReadWindowsVolumeFileSystem(name, log);
    bool ntfs = IsNtfsName(name);
    if (log != nullptr && log->RuleCode().empty())
        RecordRule(log, ntfs ? "file-system-ntfs" : "file-system-other");
    return ntfs;
}

bool MemoryAnswer(MemoryThreshold threshold, CheckLog* log)
{
    DWORD total = ReadTotalPhysicalMemory(log);
    bool reaches = MemoryReaches(total, threshold);
    if (log != nullptr)
        RecordRule(log, total == 0 ? "memory-unknown" : reaches ? "memory-reaches" : "memory-short");
    return reaches;
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

const CheckEntry* FindCheck(const char* name)
{
    if (name == nullptr)
        return nullptr;
    for (const CheckEntry& entry : kCheckCatalog) {
        if (std::strcmp(entry.name, name) == 0)
            return &entry;
    }
    return nullptr;
}
