#include "checks/CheckReasons.h"

#include <cstring>

namespace {

const CheckState D = CheckState::Determined;
const CheckState U = CheckState::Undetermined;

// Absence (a key or value that is not there) is an answer; any other failed read is not.
#define KEY_ABSENT_FALSE {"key-missing", D, "key-missing", "{key} not found: {subject} is not installed"}
#define KEY_UNREADABLE_FALSE                                                                              \
    {"key-unreadable", U, "key-unreadable",                                                               \
     "{key} could not be opened ({status}): the check answers false when it cannot open the key"}

const ReasonRow kNumberProbe[] = {
    {"value-meets", D, "value-meets", "{value} = {data} under {key}: {subject} is installed"},
    {"value-falls-short", D, "value-falls-short", "{value} = {data} under {key}, {need}: {subject} is not installed"},
    KEY_ABSENT_FALSE,
    KEY_UNREADABLE_FALSE,
    {"value-missing", D, "value-missing", "{key} holds no {value}: {subject} is not installed"},
    {"value-unreadable", U, "value-unreadable",
     "{value} under {key} could not be read ({status}): the check answers false"},
    {"value-wrong-type", U, "value-wrong-type",
     "{value} under {key} is {type}, not REG_DWORD: the check reads its bytes as {data} and answers {answer}"},
};

const ReasonRow kMdac[] = {
    {"value-meets", D, "value-meets", "{value} = \"{data}\" under {key} sorts at or after 2.80.1022.0: {subject} is installed"},
    {"value-falls-short", D, "value-falls-short",
     "{value} = \"{data}\" under {key} sorts before 2.80.1022.0 (compared as text): {subject} is not installed"},
    {"key-missing", U, "key-missing-fallback", "{key} not found: this check answers true when the key is missing"},
    {"key-unreadable", U, "key-unreadable-fallback",
     "{key} could not be opened ({status}): this check answers true when it cannot open the key"},
    {"value-missing", D, "value-missing", "{key} holds no {value}: the check compares an empty text and answers false"},
    {"value-unreadable", U, "value-unreadable", "{value} under {key} could not be read ({status}): the check answers false"},
    {"value-wrong-type", U, "value-wrong-type",
     "{value} under {key} is {type}, not a text: the check compares its bytes as \"{data}\" and answers {answer}"},
};

const ReasonRow kKeyProbe[] = {
    {"key-present", D, "key-present", "{key} found: {subject} is installed"},
    KEY_ABSENT_FALSE,
    KEY_UNREADABLE_FALSE,
};

const ReasonRow kNoSus[] = {
    {"key-present", D, "key-present", "{key} found: {subject} is installed, so the check answers false"},
    {"key-missing", D, "key-missing", "{key} not found: {subject} is not installed"},
    {"key-unreadable", U, "key-unreadable-fallback",
     "{key} could not be opened ({status}): this check answers true when it cannot open the key"},
};

#define VERSION_UNREADABLE                                                                                \
    {"version-unreadable", U, "version-unreadable",                                                      \
     "GetVersionExA failed ({status}): the check answers as for an unknown system"}

const ReasonRow kEdition[] = {
    {"edition-named", D, "edition-named", "GetVersionExA reports {version}: {answer}"},
    {"edition-named-kernel-differs", D, "edition-named-kernel-differs",
     "GetVersionExA reports {version}, the kernel {kernel}: the check names what the process is told, {answer}"},
    {"edition-not-listed", D, "edition-not-listed",
     "GetVersionExA reports {version}, which is none of the editions this check names: UNKNOWN"},
    {"edition-not-listed-kernel-differs", D, "edition-not-listed-kernel-differs",
     "GetVersionExA reports {version}, the kernel {kernel}; the record the process is told is none of the "
     "editions this check names: UNKNOWN"},
    VERSION_UNREADABLE,
};

const ReasonRow kServicePack[] = {
    {"service-pack-named", D, "service-pack-named", "GetVersionExA reports \"{answer}\""},
    {"no-service-pack", D, "no-service-pack", "GetVersionExA reports no service pack: the empty text"},
    VERSION_UNREADABLE,
};

const ReasonRow kRole[] = {
    {"role-admitted", D, "role-admitted", "GetVersionExA reports {version}: an edition that admits {subject}"},
    {"role-not-admitted", D, "role-not-admitted",
     "GetVersionExA reports {version}: not an edition that admits {subject} ({need})"},
    VERSION_UNREADABLE,
};

const ReasonRow kMemory[] = {
    {"memory-reaches", D, "memory-reaches", "GlobalMemoryStatus reports {data}: at least {need}"},
    {"memory-short", D, "memory-short", "GlobalMemoryStatus reports {data}: less than {need}"},
    {"memory-unknown", U, "memory-unknown", "GlobalMemoryStatus reported no memory: the check answers false"},
};

#define DIRECTORY_UNREADABLE                                                                              \
    {"directory-unreadable", U, "directory-unreadable",                                                  \
     "the Windows directory could not be read ({status}): the check answers false"}

const ReasonRow kDiskSpace[] = {
    {"space-suffices", D, "space-suffices", "GetDiskFreeSpaceExA reports {data}: at least {need}"},
    {"space-short", D, "space-short", "GetDiskFreeSpaceExA reports {data}: less than {need}"},
    DIRECTORY_UNREADABLE,
    {"query-failed", U, "query-failed", "GetDiskFreeSpaceExA failed ({status}): the check answers false"},
};

const ReasonRow kNtfs[] = {
    {"file-system-ntfs", D, "file-system-ntfs", "GetVolumeInformationA reports \"{data}\": the Windows volume is NTFS"},
    {"file-system-other", D, "file-system-other",
     "GetVolumeInformationA reports \"{data}\": the Windows volume is not NTFS"},
    DIRECTORY_UNREADABLE,
    {"query-failed", U, "query-failed",
     "GetVolumeInformationA failed ({status}), as it does for a network path: the check answers false"},
};

const ReasonRow kReboot[] = {
    {"auto-update-state", D, "auto-update-state", "AUState = 8 under HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                                                  "WindowsUpdate\\Auto Update: Windows Update waits for a restart"},
    {"update-flags", D, "update-flags",
     "Flags = 1 or 2 under HKLM\\SOFTWARE\\Microsoft\\Updates\\UpdateExeVolatile: an update waits for a restart"},
    {"file-renames", D, "file-renames",
     "PendingFileRenameOperations is present under HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager: "
     "file renames wait for a restart"},
    {"nothing-pending", D, "nothing-pending", "none of the three sources this check reads shows a pending restart"},
    {"other-signals-only", D, "other-signals-only",
     "none of the three sources this check reads shows a pending restart; other signals, not part of this answer, "
     "do (see the readings)"},
    {"source-unreadable", U, "source-unreadable",
     "a source could not be read ({status}) and none that could shows a pending restart: the check answers false"},
};

const ReasonRow kAdmin[] = {
    {"group-enabled", D, "group-enabled", "the process token holds Administrators (S-1-5-32-544) enabled"},
    {"group-deny-only", D, "group-deny-only",
     "the process token holds Administrators only for deny: an administrator whose process is not elevated"},
    {"group-not-enabled", D, "group-not-enabled", "the process token holds Administrators, but not enabled"},
    {"group-absent", D, "group-absent", "the process token does not hold Administrators"},
    {"sid-failed", U, "sid-failed", "the Administrators SID could not be built ({status}): the check answers false"},
    {"token-unreadable", U, "token-unreadable",
     "the process token could not be opened ({status}): the check answers false"},
    {"groups-unreadable", U, "groups-unreadable",
     "the token's groups could not be read ({status}): the check answers false"},
};

#define PRODUCT_KEY_ROWS                                                                                   \
    {"key-missing", D, "key-missing", "{key} not found in the 64-bit view: {subject} is not installed, so the " \
                                      "check answers \"{answer}\""},                                        \
    {"key-unreadable", U, "key-unreadable-fallback",                                                        \
     "{key} could not be opened ({status}): the check answers \"{answer}\" when it cannot open the key"}

const ReasonRow kProductText[] = {
    {"value-read", D, "value-read", "{value} = \"{data}\" under {key}"},
    PRODUCT_KEY_ROWS,
    {"value-missing", D, "value-missing", "{key} holds no {value}: the check answers the empty text"},
    {"value-unreadable", U, "value-unreadable",
     "{value} under {key} could not be read ({status}): the check answers the empty text"},
    {"value-wrong-type", U, "value-wrong-type",
     "{value} under {key} is {type}, not a text: the check answers its bytes as \"{answer}\""},
};

const ReasonRow kSceRole[] = {
    {"value-console", D, "value-console", "{value} = {data} under {key}: a console-only installation"},
    {"value-server", D, "value-server", "{value} = 0 under {key}: a server installation"},
    PRODUCT_KEY_ROWS,
    {"value-missing", D, "value-missing", "{key} holds no {value}: the check answers SERVER"},
    {"value-unreadable", U, "value-unreadable", "{value} under {key} could not be read ({status}): the check answers SERVER"},
    {"value-wrong-type", U, "value-wrong-type",
     "{value} under {key} is {type}, not REG_DWORD: the check reads its bytes as {data} and answers {answer}"},
};

const ReasonRow kX64Version[] = {
    {"value-read", D, "value-read", "VersionMajor and VersionMinor under {key} give {answer}"},
    PRODUCT_KEY_ROWS,
    {"value-missing", D, "value-missing", "{key} holds no VersionMajor nor VersionMinor: the check answers 0.0"},
    {"value-unreadable", U, "value-unreadable",
     "a version number under {key} could not be read ({status}): the check answers {answer}"},
    {"value-wrong-type", U, "value-wrong-type",
     "a version number under {key} is not REG_DWORD: the check reads its bytes and answers {answer}"},
};

#define ROWS(table) table, sizeof table / sizeof *table

const char kServerEditions[] = "Windows Server 2003, or Windows Server 2008 or 2008 R2";
const char kConsoleEditions[] = "Windows 2000, XP or 2003, or Windows Vista, 7, Server 2008 or 2008 R2";

// In the interface's order, as the catalog.
const CheckReasons kReasons[] = {
    {"GetVersion", "the edition", "", ROWS(kEdition)},
    {"HasDotNetFramework2", ".NET Framework 2.0", "not 1", ROWS(kNumberProbe)},
    {"HasDotNetFramework3", ".NET Framework 3.0", "not 1", ROWS(kNumberProbe)},
    {"HasMDAC28", "MDAC 2.8 or later", "", ROWS(kMdac)},
    {"HasIIS", "IIS 6 or later", "below 6", ROWS(kNumberProbe)},
    {"HasBITS", "the BITS service", "", ROWS(kKeyProbe)},
    {"IsValidServer", "the server role", kServerEditions, ROWS(kRole)},
    {"IsValidConsole", "the console role", kConsoleEditions, ROWS(kRole)},
    {"GetServicePack", "the service pack", "", ROWS(kServicePack)},
    {"HasMaxPhyMem", "physical memory", "2,040,109,465 bytes (1.9 GiB)", ROWS(kMemory)},
    {"IsWindowsDriveNTFS", "the Windows volume", "", ROWS(kNtfs)},
    {"HasDiskSpace", "free space", "1,073,741,824 bytes (1 GiB)", ROWS(kDiskSpace)},
    {"NoSUS", "the product {AFF0D9D3-6F0D-437E-9327-98108B4A8644}", "", ROWS(kNoSus)},
    {"HasMinPhyMem", "physical memory", "966,367,641 bytes (0.9 GiB)", ROWS(kMemory)},
    {"IsRebootPending", "a pending restart", "", ROWS(kReboot)},
    {"IsAdmin", "the Administrators group", "", ROWS(kAdmin)},
    {"HasASPNET20", "ASP.NET 2.0", "", ROWS(kKeyProbe)},
    {"IsValidAgent", "the agent role", kConsoleEditions, ROWS(kRole)},
    {"ConsoleHasMinPhyMem", "physical memory", "483,183,820 bytes (0.45 GiB)", ROWS(kMemory)},
    {"ConsoleHasMaxPhyMem", "physical memory", "966,367,641 bytes (0.9 GiB)", ROWS(kMemory)},
    {"GetSCEPath", "System Center Essentials", "", ROWS(kProductText)},
    {"GetSCEType", "System Center Essentials", "", ROWS(kSceRole)},
    {"GetSCEVersion", "System Center Essentials", "", ROWS(kProductText)},
    {"GetMSMP_x64Version", "the x64 management pack product", "", ROWS(kX64Version)},
    {"GetAgent_x64Version", "the x64 agent", "", ROWS(kX64Version)},
    {"GetASC_x64Version", "the x64 ASC product", "", ROWS(kX64Version)},
};

}  // namespace

const CheckReasons* FindReasons(const char* name)
{
    for (const CheckReasons& reasons : kReasons) {
        if (std::strcmp(reasons.name, name) == 0)
            return &reasons;
    }
    return nullptr;
}

const ReasonRow* FindReasonRow(const CheckReasons& reasons, const char* rule)
{
    for (std::size_t i = 0; i < reasons.rowCount; ++i) {
        if (std::strcmp(reasons.rows[i].rule, rule) == 0)
            return &reasons.rows[i];
    }
    return nullptr;
}
