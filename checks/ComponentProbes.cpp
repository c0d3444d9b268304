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

// The probe's rule for a value it read; `decided` names the rule of a sound read.
void DecideValue(CheckLog* log, const ValueRead& read, ValueKind kind, const char* decided)
{
    if (log == nullptr)
        return;
    const char* faulty = ValueRule(read, kind);
    RecordRule(log, faulty != nullptr ? faulty : decided);
}

DWORD ReadNumber(const ProbeKey& probe, CheckLog* log, bool (*decide)(DWORD))
{
    DWORD number = 0;
    RegistryKey key;
    LONG opened = key.Open(HKEY_LOCAL_MACHINE, probe.path, kDefaultViewRead);
    RecordOpen(log, probe.path, kDefaultViewRead, opened);
    if (opened != ERROR_SUCCESS) {
        RecordRule(log, OpenRule(opened));
        return number;
    }
    ValueRead read;
    number = QueryNumber(key.Handle(), probe.value, log != nullptr ? &read : nullptr);
    key.Close();
    if (log != nullptr) {
        RecordNumber(log, probe.path, kDefaultViewRead, probe.value, read, number);
        DecideValue(log, read, ValueKind::Number, decide(number) ? "value-meets" : "value-falls-short");
    }
    return number;
}

bool KeyOpens(const ProbeKey& probe, CheckLog* log)
{
    RegistryKey key;
    LONG opened = key.Open(HKEY_LOCAL_MACHINE, probe.path, kDefaultViewRead);
    RecordOpen(log, probe.path, kDefaultViewRead, opened);
    RecordRule(log, opened == ERROR_SUCCESS ? "key-present" : OpenRule(opened));
    return opened == ERROR_SUCCESS;
}

}  // namespace

bool DotNetInstalled(DWORD number) { return number == 1; }

bool IisSixOrLater(DWORD majorVersion) { return majorVersion > 5; }

bool MdacTwoEightOrLater(const char* fullInstallVersion)
{
    return _mbscmp(reinterpret_cast<const unsigned char*>(fullInstallVersion),
                   reinterpret_cast<const unsigned char*>(kMdacMinimum)) >= 0;
}

bool ProbeDotNetFramework2(CheckLog* log) { return DotNetInstalled(ReadNumber(kDotNet2, log, DotNetInstalled)); }

bool ProbeDotNetFramework3(CheckLog* log) { return DotNetInstalled(ReadNumber(kDotNet3, log, DotNetInstalled)); }

bool ProbeIis(CheckLog* log) { return IisSixOrLater(ReadNumber(kIis, log, IisSixOrLater)); }

bool ProbeMdac28(CheckLog* log)
{
    RegistryKey key;
    LONG opened = key.Open(HKEY_LOCAL_MACHINE, kMdac.path, kDefaultViewRead);
    RecordOpen(log, kMdac.path, kDefaultViewRead, opened);
    if (opened != ERROR_SUCCESS) {
        RecordRule(log, OpenRule(opened));
        return MdacTwoEightOrLater(kMdacUnknown);
    }
    char text[kCheckTextSize];
    ValueRead read;
    QueryText(key.Handle(), kMdac.value, text, log != nullptr ? &read : nullptr);
    key.Close();
    bool found = MdacTwoEightOrLater(text);
    if (log != nullptr) {
        RecordText(log, kMdac.path, kDefaultViewRead, kMdac.value, read, text);
        DecideValue(log, read, ValueKind::Text, found ? "value-meets" : "value-falls-short");
    }
    return found;
}

bool ProbeBits(CheckLog* log) { return KeyOpens(kBits, log); }

bool ProbeAspNet20(CheckLog* log) { return KeyOpens(kAspNet20, log); }

// Any failure to open counts as absent, denied access included.
bool ProbeNoSus(CheckLog* log) { return !KeyOpens(kSusProduct, log); }
