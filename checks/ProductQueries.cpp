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

bool OpenSixtyFourBitView(RegistryKey& key, const char* path)
{
    return key.Open(HKEY_LOCAL_MACHINE, path, kSixtyFourBitViewRead) == ERROR_SUCCESS;
}

void QuerySetupText(const char* value, const char* fallback, char (&text)[kCheckTextSize])
{
    RegistryKey key;
    if (!OpenSixtyFourBitView(key, kOperationsManagerSetup)) {
        SetText(text, fallback);
        return;
    }
    QueryText(key.Handle(), value, text);
    key.Close();
}

}  // namespace

const char* SceRoleText(DWORD installUiOnly) { return installUiOnly != 0 ? "CONSOLE" : "SERVER"; }

void FormatProductVersion(DWORD major, DWORD minor, char (&text)[kCheckTextSize])
{
    std::memset(text, 0, sizeof text);
    _snprintf(text, sizeof text - 1, "%d.%d", static_cast<int>(major), static_cast<int>(minor));
}

void QuerySceInstallDirectory(char (&text)[kCheckTextSize])
{
    QuerySetupText("InstallDirectory", kUnknownText, text);
}

void QuerySceVersion(char (&text)[kCheckTextSize])
{
    QuerySetupText("CurrentVersion", kUnknownSceVersion, text);
}

void QuerySceRole(char (&text)[kCheckTextSize])
{
    RegistryKey key;
    if (!OpenSixtyFourBitView(key, kSceUninstall)) {
        SetText(text, kUnknownText);
        return;
    }
    DWORD installUiOnly = QueryNumber(key.Handle(), "InstallUIOnly");
    key.Close();
    SetText(text, SceRoleText(installUiOnly));
}

void QueryX64ProductVersion(X64Product product, char (&text)[kCheckTextSize])
{
    RegistryKey key;
    if (!OpenSixtyFourBitView(key, kX64UninstallKeys[static_cast<int>(product)])) {
        SetText(text, kUnknownX64Version);
        return;
    }
    DWORD major = QueryNumber(key.Handle(), "VersionMajor");
    DWORD minor = QueryNumber(key.Handle(), "VersionMinor");
    key.Close();
    FormatProductVersion(major, minor, text);
}
