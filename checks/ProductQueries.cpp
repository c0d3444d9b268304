#include "checks/ProductQueries.h"

#include <cstdio>
#include <cstring>

#include "checks/RegistryReads.h"
#include "registry/RegistryKey.h"

namespace {

const char kOperationsManagerSetup[] = "SOFTWARE\\Microsoft\\Microsoft Operations Manager\\3.0\\Setup";
const char kSceUninstall[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\System Center Essentials";

// Indexed by X64Product.
const char* const kX64UninstallKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{F951B229-BC01-4D9A-B4C4-B5B97F524C5D}",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{B13F4F0E-002B-40F7-A67C-012E1B3DDEC2}",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{A4A8F4DB-C96D-4BC2-B919-DCDDF13C60C4}",
};

// The three fallbacks differ on purpose: callers tell the products apart by them.
const char kUnknownText[] = "?";
const char kUnknownSceVersion[] = "0.0.0.0";
const char kUnknownX64Version[] = "0.0";

void SetText(char (&text)[kCheckTextSize], const char* value)
{
    std::memset(text, 0, sizeof text);
    std::strncpy(text, value, sizeof text - 1);
}

bool OpenSixtyFourBitView(RegistryKey& key, const char* path, CheckLog* log)
{
    LONG opened = key.Open(HKEY_LOCAL_MACHINE, path, kSixtyFourBitViewRead);
    RecordOpen(log, path, kSixtyFourBitViewRead, opened);
    if (opened != ERROR_SUCCESS)
        RecordRule(log, OpenRule(opened));
    return opened == ERROR_SUCCESS;
}

ValueRead* Wanted(ValueRead& read, CheckLog* log) { return log != nullptr ? &read : nullptr; }

void QuerySetupText(const char* value, const char* fallback, char (&text)[kCheckTextSize], CheckLog* log)
{
    RegistryKey key;
    if (!OpenSixtyFourBitView(key, kOperationsManagerSetup, log)) {
        SetText(text, fallback);
        return;
    }
    ValueRead read;
    QueryText(key.Handle(), value, text, Wanted(read, log));
    key.Close();
    if (log != nullptr) {
        RecordText(log, kOperationsManagerSetup, kSixtyFourBitViewRead, value, read, text);
        const char* faulty = ValueRule(read, ValueKind::Text);
        RecordRule(log, faulty != nullptr ? faulty : "value-read");
    }
}

}  // namespace

const char* SceRoleText(DWORD installUiOnly) { return installUiOnly != 0 ? "CONSOLE" : "SERVER"; }

void FormatProductVersion(DWORD major, DWORD minor, char (&text)[kCheckTextSize])
{
    std::memset(text, 0, sizeof text);
    _snprintf(text, sizeof text - 1, "%d.%d", static_cast<int>(major), static_cast<int>(minor));
}

void QuerySceInstallDirectory(char (&text)[kCheckTextSize], CheckLog* log)
{
    QuerySetupText("InstallDirectory", kUnknownText, text, log);
}

void QuerySceVersion(char (&text)[kCheckTextSize], CheckLog* log)
{
    QuerySetupText("CurrentVersion", kUnknownSceVersion, text, log);
}

void QuerySceRole(char (&text)[kCheckTextSize], CheckLog* log)
{
    RegistryKey key;
    if (!OpenSixtyFourBitView(key, kSceUninstall, log)) {
        SetText(text, kUnknownText);
        return;
    }
    ValueRead read;
    DWORD installUiOnly = QueryNumber(key.Handle(), "InstallUIOnly", Wanted(read, log));
    key.Close();
    SetText(text, SceRoleText(installUiOnly));
    if (log != nullptr) {
        RecordNumber(log, kSceUninstall, kSixtyFourBitViewRead, "InstallUIOnly", read, installUiOnly);
        const char* faulty = ValueRule(read, ValueKind::Number);
        RecordRule(log, faulty != nullptr ? faulty : installUiOnly != 0 ? "value-console" : "value-server");
    }
}

void QueryX64ProductVersion(X64Product product, char (&text)[kCheckTextSize], CheckLog* log)
{
    const char* path = kX64UninstallKeys[static_cast<int>(product)];
    RegistryKey key;
    if (!OpenSixtyFourBitView(key, path, log)) {
        SetText(text, kUnknownX64Version);
        return;
    }
    ValueRead majorRead, minorRead;
    DWORD major = QueryNumber(key.Handle(), "VersionMajor", Wanted(majorRead, log));
    DWORD minor = QueryNumber(key.Handle(), "VersionMinor", Wanted(minorRead, log));
    key.Close();
    FormatProductVersion(major, minor, text);
    if (log != nullptr) {
        RecordNumber(log, path, kSixtyFourBitViewRead, "VersionMajor", majorRead, major);
        RecordNumber(log, path, kSixtyFourBitViewRead, "VersionMinor", minorRead, minor);
        // A failed or wrong-typed number decides; one missing number is taken as 0, as the check does.
        const char* majorFault = ValueRule(majorRead, ValueKind::Number);
        const char* minorFault = ValueRule(minorRead, ValueKind::Number);
        auto serious = [](const char* fault) { return fault != nullptr && std::strcmp(fault, "value-missing") != 0; };
        const char* rule = serious(majorFault)   ? majorFault
                           : serious(minorFault) ? minorFault
                           : majorFault != nullptr && minorFault != nullptr ? "value-missing"
                                                                           : "value-read";
        RecordRule(log, rule);
    }
}
