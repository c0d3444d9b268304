#include "checks/ComponentProbes.h"

#include <mbstring.h>

#include "checks/RegistryReads.h"
#include "registry/RegistryKey.h"

namespace {

struct ProbeKey {
    const char* path;
    const char* value;  // null: the probe asks only whether the key opens
};

const ProbeKey kDotNet2 = {"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727", "Install"};
const ProbeKey kDotNet3 = {"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v3.0\\Setup", "InstallSuccess"};
const ProbeKey kIis = {"SOFTWARE\\Microsoft\\Inetstp", "MajorVersion"};
const ProbeKey kMdac = {"SOFTWARE\\Microsoft\\DataAccess", "FullInstallVer"};
const ProbeKey kBits = {"SYSTEM\\CurrentControlSet\\Services\\BITS", nullptr};
const ProbeKey kAspNet20 = {"SOFTWARE\\Microsoft\\ASP.NET\\2.0.50727.0", nullptr};
const ProbeKey kSusProduct = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{AFF0D9D3-6F0D-437E-9327-98108B4A8644}", nullptr};

const char kMdacMinimum[] = "2.80.1022.0";
// Compared when the key does not open; sorts after every text beginning with a digit.
const char kMdacUnknown[] = "?";

DWORD ReadNumber(const ProbeKey& probe)
{
    DWORD number = 0;
    RegistryKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, probe.path, kDefaultViewRead) == ERROR_SUCCESS) {
        number = QueryNumber(key.Handle(), probe.value);
        key.Close();
    }
    return number;
}

bool KeyOpens(const ProbeKey& probe)
{
    RegistryKey key;
    return key.Open(HKEY_LOCAL_MACHINE, probe.path, kDefaultViewRead) == ERROR_SUCCESS;
}

}  // namespace

bool DotNetInstalled(DWORD number) { return number == 1; }

bool IisSixOrLater(DWORD majorVersion) { return majorVersion > 5; }

bool MdacTwoEightOrLater(const char* fullInstallVersion)
{
    return _mbscmp(reinterpret_cast<const unsigned char*>(fullInstallVersion),
                   reinterpret_cast<const unsigned char*>(kMdacMinimum)) >= 0;
}

bool ProbeDotNetFramework2() { return DotNetInstalled(ReadNumber(kDotNet2)); }

bool ProbeDotNetFramework3() { return DotNetInstalled(ReadNumber(kDotNet3)); }

bool ProbeIis() { return IisSixOrLater(ReadNumber(kIis)); }

bool ProbeMdac28()
{
    RegistryKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kMdac.path, kDefaultViewRead) != ERROR_SUCCESS)
        return MdacTwoEightOrLater(kMdacUnknown);
    char text[kCheckTextSize];
    QueryText(key.Handle(), kMdac.value, text);
    key.Close();
    return MdacTwoEightOrLater(text);
}

bool ProbeBits() { return KeyOpens(kBits); }

bool ProbeAspNet20() { return KeyOpens(kAspNet20); }

// Any failure to open counts as absent, denied access included.
bool ProbeNoSus() { return !KeyOpens(kSusProduct); }
