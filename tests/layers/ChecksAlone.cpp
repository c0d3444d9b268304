// Linked with morvaleth_checks and nothing else of the product: the probes must answer, and
// explain their answers, without the COM frame, its class table or its registration.
#include <windows.h>

#include <cstdio>

#include "checks/CheckExplanation.h"
#include "checks/ComponentProbes.h"
#include "checks/MachineResources.h"
#include "checks/OsIdentification.h"
#include "checks/ProductQueries.h"
#include "checks/SystemState.h"

int main()
{
    OSVERSIONINFOEXA version = ReadExtendedVersion();
    char fileSystem[256];
    ReadWindowsVolumeFileSystem(fileSystem);
    std::printf("edition %s, major %lu\n", EditionName(version), version.dwMajorVersion);
    std::printf(".NET 2.0 %d, BITS %d, reboot pending %d, administrator %d\n", ProbeDotNetFramework2(),
                ProbeBits(), ReadRebootPending(), ProcessHoldsEnabledAdministrators());
    std::printf("memory %lu, volume %s\n", ReadTotalPhysicalMemory(), fileSystem);
    char sceVersion[kCheckTextSize];
    QuerySceVersion(sceVersion);
    std::printf("SCE version %s\n", sceVersion);

    std::vector<CheckOutcome> outcomes = ExplainAll();
    bool explained = outcomes.size() == kCheckCount;
    for (const CheckOutcome& outcome : outcomes) {
        std::printf("%s: %s, %s\n", outcome.entry->name, outcome.reasonCode.c_str(), outcome.reason.c_str());
        explained = explained && !outcome.reason.empty() && outcome.reasonCode != "rule-unknown";
    }
    // A version record that Wine always fills: a zero major version means the query never ran.
    bool answered = version.dwMajorVersion != 0 && ReadTotalPhysicalMemory() != 0;
    std::printf("checks alone: %s\n", explained && answered ? "answered" : "FAILED");
    return explained && answered ? 0 : 1;
}
