#include "EarlyBoundChecks.h"

#include <cwchar>
#include <iterator>

#include "Checks.h"

namespace {
#define BENCH_FLAG(method) {L## #method, &IValidate::method, nullptr}
#define BENCH_TEXT(method) {L## #method, nullptr, &IValidate::method}

const EarlyBoundCheck kChecks[] = {
    BENCH_TEXT(GetVersion), BENCH_FLAG(HasDotNetFramework2), BENCH_FLAG(HasDotNetFramework3),
    BENCH_FLAG(HasMDAC28), BENCH_FLAG(HasIIS), BENCH_FLAG(HasBITS), BENCH_FLAG(IsValidServer),
    BENCH_FLAG(IsValidConsole), BENCH_TEXT(GetServicePack), BENCH_FLAG(HasMaxPhyMem),
    BENCH_FLAG(IsWindowsDriveNTFS), BENCH_FLAG(HasDiskSpace), BENCH_FLAG(NoSUS),
    BENCH_FLAG(HasMinPhyMem), BENCH_FLAG(IsRebootPending), BENCH_FLAG(IsAdmin),
    BENCH_FLAG(HasASPNET20), BENCH_FLAG(IsValidAgent), BENCH_FLAG(ConsoleHasMinPhyMem),
    BENCH_FLAG(ConsoleHasMaxPhyMem), BENCH_TEXT(GetSCEPath), BENCH_TEXT(GetSCEType),
    BENCH_TEXT(GetSCEVersion), BENCH_TEXT(GetMSMP_x64Version), BENCH_TEXT(GetAgent_x64Version),
    BENCH_TEXT(GetASC_x64Version),
};
}

const std::vector<EarlyBoundCheck>& EarlyBoundChecks()
{
    static const std::vector<EarlyBoundCheck> checks = [] {
        std::vector<EarlyBoundCheck> all(std::begin(kChecks), std::end(kChecks));
        const std::vector<const wchar_t*>& names = CheckNames();
        bool same = names.size() == all.size();
        for (size_t i = 0; same && i < all.size(); ++i)
            same = std::wcscmp(names[i], all[i].name) == 0 && IsTextCheck(names[i]) == (all[i].text != nullptr);
        if (!same)
            all.clear();
        return all;
    }();
    return checks;
}
