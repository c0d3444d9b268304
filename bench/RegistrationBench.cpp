#include "RegistrationBench.h"

#include <cstdio>

#include "Report.h"
#include "ScratchRoot.h"
#include "Stopwatch.h"

namespace {
typedef HRESULT(STDAPICALLTYPE* EntryPoint)();

const char kClassKey[] = "CLSID\\{E3541FCC-DCF0-4045-898B-2795D6CD0E87}";
const char kServerKey[] = "CLSID\\{E3541FCC-DCF0-4045-898B-2795D6CD0E87}\\InprocServer32";
const char kTypeLibKey[] = "TypeLib\\{23DE8B21-CC1D-448D-B825-2C4D4DB8F325}";

EntryPoint Find(HMODULE library, const char* name)
{
    return reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}
}

bool MeasureRegistration(HMODULE library, int cycles, RegistrationFigures& figures, std::string& error)
{
    EntryPoint doRegister = Find(library, "DllRegisterServer");
    EntryPoint doUnregister = Find(library, "DllUnregisterServer");
    if (doRegister == nullptr || doUnregister == nullptr) {
        error = "the library does not export DllRegisterServer and DllUnregisterServer";
        return false;
    }
    // The prefix's own registration (scripts/bench made it) must come through untouched.
    bool registeredBefore = KeyPresent(HKEY_CLASSES_ROOT, kServerKey);
    {
        RedirectedClassesRoot root("Classes");
        if (!root.Active()) {
            error = "cannot redirect HKEY_CLASSES_ROOT to a scratch key";
            return false;
        }
        for (int i = 0; i < cycles; ++i) {
            Stopwatch watch;
            HRESULT registered = doRegister();
            double registerMs = watch.ElapsedNs() / 1e6;
            if (registered != S_OK || !KeyPresent(root.Scratch(), kServerKey) ||
                !KeyPresent(root.Scratch(), kTypeLibKey)) {
                error = "DllRegisterServer answered " + Hex(registered) + " or did not write the class and type library";
                return false;
            }
            watch.Restart();
            HRESULT unregistered = doUnregister();
            double unregisterMs = watch.ElapsedNs() / 1e6;
            if (unregistered != S_OK || KeyPresent(root.Scratch(), kClassKey) ||
                KeyPresent(root.Scratch(), kTypeLibKey)) {
                error = "DllUnregisterServer answered " + Hex(unregistered) + " or left the class or type library";
                return false;
            }
            figures.registerMs.push_back(registerMs);
            figures.unregisterMs.push_back(unregisterMs);
            figures.cycleMs.push_back(registerMs + unregisterMs);
        }
    }
    if (registeredBefore && !KeyPresent(HKEY_CLASSES_ROOT, kServerKey)) {
        error = "the redirection leaked: the prefix's own registration of the class is gone";
        return false;
    }
    return true;
}

void PrintRegistration(const RegistrationFigures& f)
{
    auto rest = [](const std::vector<double>& all) { return std::vector<double>(all.begin() + 1, all.end()); };
    std::printf("%-34s %10s %10s %10s\n", "", "register", "unregister", "both");
    std::printf("%-34s %10.2f %10.2f %10.2f\n", "first cycle in the process (ms)", f.registerMs[0], f.unregisterMs[0],
                f.cycleMs[0]);
    if (f.cycleMs.size() > 1) {
        std::printf("%-34s %10.2f %10.2f %10.2f\n", "median of the later cycles (ms)", Median(rest(f.registerMs)),
                    Median(rest(f.unregisterMs)), Median(rest(f.cycleMs)));
        std::printf("%-34s %10.2f %10.2f %10.2f\n", "  quartile 1 (ms)", Quantile(rest(f.registerMs), 0.25),
                    Quantile(rest(f.unregisterMs), 0.25), Quantile(rest(f.cycleMs), 0.25));
        std::printf("%-34s %10.2f %10.2f %10.2f\n", "  quartile 3 (ms)", Quantile(rest(f.registerMs), 0.75),
                    Quantile(rest(f.unregisterMs), 0.75), Quantile(rest(f.cycleMs), 0.75));
    }
    std::printf("cycles: %zu\n", f.cycleMs.size());
}
