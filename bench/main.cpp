// morvaleth-bench: how fast Morvaleth.DLL answers on every call path, registers itself and
// loads. Run by scripts/bench, which registers the DLL in the bench's own Wine prefix first.
#include <windows.h>

#include <Morvaleth.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "DispatchBench.h"
#include "FirstObjectBench.h"
#include "InterpreterBench.h"
#include "ModuleLoad.h"
#include "ReadingsBench.h"
#include "common/ModulePath.h"
#include "RegistrationBench.h"
#include "Report.h"
#include "ReportBench.h"
#include "Stopwatch.h"

namespace {

enum ExitStatus { kDone = 0, kUsage = 1, kNotReady = 2, kFailed = 3 };

const double kHolderTarget = 1.05;    // the holder adds at most 5% to ITypeInfo::Invoke
const double kNameCacheTarget = 20.0; // cached names at least 20 times faster
const double kFirstObjectTarget = 1.10;  // the manifest way at most 10% slower
const double kLinearLow = 0.8;        // growth per key between sizes counted as linear
const double kLinearHigh = 1.25;

const char kHelp[] =
    "Usage: morvaleth-bench [options]\n"
    "\n"
    "Measures Morvaleth.DLL, which must be registered (scripts/bench does that):\n"
    "module size and cold start, the four call paths of every check, GetIDsOfNames,\n"
    "DllRegisterServer/DllUnregisterServer, the registration-script interpreter, and the\n"
    "first object of a fresh process through the DLL's manifest against its registration.\n"
    "\n"
    "  --repetitions N          interleaved samples per check and call path (default 41)\n"
    "  --batch-us N             length of one timed batch in microseconds (default 300)\n"
    "  --sizes A,B,...          keys of the generated scripts (default 1000,10000,100000)\n"
    "  --script-repetitions N   passes per script size (default 9, 5, 3 by size)\n"
    "  --registration-cycles N  DllRegisterServer + DllUnregisterServer cycles (default 20)\n"
    "  --cold-runs N            fresh child processes for the cold start (default 7)\n"
    "  --first-object-pairs N   fresh child processes per way for the first object (default 25)\n"
    "  --report-pairs N         fresh morvaleth-report processes per format (default 15)\n"
    "  --sections LIST          any of module,dispatch,names,registration,interpreter,\n"
    "                           first-object,readings,report\n"
    "                           (default: all)\n"
    "  --quick                  few repetitions and sizes up to 10000, for a smoke run\n"
    "  --help                   show this text\n"
    "\n"
    "Exit status: 0 measured; 1 bad arguments; 2 the class is not registered or cannot be\n"
    "created; 3 a measurement failed (a call answered an error or the registry was not as\n"
    "expected).\n";

struct Options {
    DispatchOptions dispatch = {41, 300.0};
    std::vector<long> sizes = {1000, 10000, 100000};
    int scriptRepetitions = 0;
    int registrationCycles = 20;
    int coldRuns = 7;
    int firstObjectPairs = 25;
    int reportPairs = 15;
    std::set<std::string> sections = {"module",      "dispatch",     "names",    "registration",
                                      "interpreter", "first-object", "readings", "report"};
};

bool ParseCount(const char* text, long low, long high, long& value)
{
    char* end = nullptr;
    long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

bool ParseList(const char* text, std::vector<std::string>& items)
{
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ','))
        if (!item.empty())
            items.push_back(item);
    return !items.empty();
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    const std::set<std::string> known = {"module",      "dispatch",     "names",    "registration",
                                         "interpreter", "first-object", "readings", "report"};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long n = 0;
        if (arg == "--quick") {
            options.dispatch = {9, 100.0};
            options.sizes = {1000, 10000};
            options.scriptRepetitions = 2;
            options.registrationCycles = 5;
            options.coldRuns = 3;
            options.firstObjectPairs = 3;
            options.reportPairs = 3;
            continue;
        }
        if (value == nullptr)
            return false;
        ++i;
        if (arg == "--repetitions" && ParseCount(value, 1, 100000, n)) {
            options.dispatch.repetitions = static_cast<int>(n);
        } else if (arg == "--batch-us" && ParseCount(value, 1, 1000000, n)) {
            options.dispatch.batchUs = static_cast<double>(n);
        } else if (arg == "--script-repetitions" && ParseCount(value, 1, 1000, n)) {
            options.scriptRepetitions = static_cast<int>(n);
        } else if (arg == "--registration-cycles" && ParseCount(value, 1, 100000, n)) {
            options.registrationCycles = static_cast<int>(n);
        } else if (arg == "--cold-runs" && ParseCount(value, 1, 1000, n)) {
            options.coldRuns = static_cast<int>(n);
        } else if (arg == "--first-object-pairs" && ParseCount(value, 1, 1000, n)) {
            options.firstObjectPairs = static_cast<int>(n);
        } else if (arg == "--report-pairs" && ParseCount(value, 1, 1000, n)) {
            options.reportPairs = static_cast<int>(n);
        } else if (arg == "--sizes") {
            std::vector<std::string> items;
            options.sizes.clear();
            if (!ParseList(value, items))
                return false;
            for (const std::string& item : items) {
                if (!ParseCount(item.c_str(), 1, 2000000, n))
                    return false;
                options.sizes.push_back(n);
            }
        } else if (arg == "--sections") {
            std::vector<std::string> items;
            if (!ParseList(value, items))
                return false;
            options.sections.clear();
            for (const std::string& item : items) {
                if (known.count(item) == 0)
                    return false;
                options.sections.insert(item);
            }
        } else {
            return false;
        }
    }
    return true;
}

// The module whose code serves `object`: the DLL that COM loaded for the class.
HMODULE ServingModule(IUnknown* object)
{
    HMODULE module = nullptr;
    void* vtable = *reinterpret_cast<void**>(object);
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(vtable), &module);
    return module;
}

const char* Verdict(bool met) { return met ? "MET" : "MISSED"; }

struct Results {
    bool module = false, dispatch = false, names = false, registration = false, interpreter = false,
         firstObject = false, readings = false, report = false;
    ModuleSize size;
    ColdStartFigures cold;
    DispatchFigures calls;
    NamesFigures lookups;
    RegistrationFigures registry;
    std::vector<ScriptSizeFigures> scripts;
    FirstObjectFigures first;
    ReadingsFigures explained;
    ReportFigures formats;
};

void PrintSummary(const Results& r)
{
    PrintHeading("Summary");
    if (r.readings) {
        std::printf("readings: 26 answers explained / without a log: %.2fx (paired median %.2fx)\n",
                    Median(r.explained.explainedMs) / Median(r.explained.plainMs), Median(r.explained.ratio));
    }
    if (r.module) {
        std::printf("module: %llu bytes on disk, %lu in memory; LoadLibrary + first object + first late-bound call: %.2f ms (median of %zu fresh processes)\n",
                    static_cast<unsigned long long>(r.size.fileBytes), static_cast<unsigned long>(r.size.imageBytes),
                    Median(r.cold.totalMs), r.cold.totalMs.size());
    }
    if (r.dispatch) {
        for (const CheckGroup* group : {&r.calls.all, &r.calls.dispatchBound}) {
            const double* t = group->total;
            std::printf("%s, %d checks once, ns: early-bound %.0f; late-bound Invoke %.0f; GetIDsOfNames+Invoke %.0f; ITypeInfo::Invoke %.0f; late/early %.2fx\n",
                        group == &r.calls.all ? "all checks" : "dispatch-bound checks", group->checks,
                        t[kEarlyBound], t[kLateBound], t[kNamedLateBound], t[kDirectTypeInfo],
                        t[kLateBound] / t[kEarlyBound]);
        }
        bool met = true;
        for (const CheckGroup* group : {&r.calls.all, &r.calls.dispatchBound}) {
            double ratio = group->total[kLateBound] / group->total[kDirectTypeInfo];
            double paired = Median(group->holderRatio);
            bool groupMet = ratio <= kHolderTarget && paired <= kHolderTarget &&
                            (group == &r.calls.all || group->worstHolderRatio <= kHolderTarget);
            met = met && groupMet;
            std::printf("holder Invoke / direct ITypeInfo::Invoke, %s: %.4f (paired median %.4f; method noise %.4f; worst check %.4f)\n",
                        group == &r.calls.all ? "all checks" : "dispatch-bound checks", ratio, paired,
                        Median(group->noiseRatio), group->worstHolderRatio);
        }
        std::printf("target: the holder adds at most %.0f%% to direct ITypeInfo::Invoke (in total, and for every dispatch-bound check): %s\n",
                    (kHolderTarget - 1) * 100, Verdict(met));
    }
    if (r.names) {
        double speedUp = r.lookups.total[kNamePlatform] / r.lookups.total[kNameCache];
        std::printf("target: name cache >= %.0fx faster than ITypeInfo::GetIDsOfNames (every name): %.1fx over all names, %.1fx for the least favoured: %s\n",
                    kNameCacheTarget, speedUp, r.lookups.lowestSpeedUp,
                    Verdict(speedUp >= kNameCacheTarget && r.lookups.lowestSpeedUp >= kNameCacheTarget));
    }
    if (r.registration) {
        std::vector<double> later(r.registry.cycleMs.begin() + (r.registry.cycleMs.size() > 1 ? 1 : 0),
                                  r.registry.cycleMs.end());
        std::printf("DllRegisterServer + DllUnregisterServer: %.2f ms (median of later cycles; first cycle %.2f ms)\n",
                    Median(later), r.registry.cycleMs[0]);
    }
    if (r.firstObject) {
        double ratio = FirstObjectRatio(r.first);
        std::printf("target: first object through the manifest within %.2fx of through the registry (medians of %zu fresh processes each): %.3fx (%.2f ms against %.2f ms): %s\n",
                    kFirstObjectTarget, r.first.manifestMs.size(), ratio, Median(r.first.manifestMs),
                    Median(r.first.registryMs), Verdict(ratio <= kFirstObjectTarget));
    }
    if (r.report) {
        std::printf("morvaleth-report --format evidence against the plain table (medians of %zu fresh processes each): %.3fx (%.2f ms against %.2f ms)\n",
                    r.formats.tableMs.size(), ReportRatio(r.formats), Median(r.formats.evidenceMs),
                    Median(r.formats.tableMs));
    }
    if (r.interpreter) {
        bool linear = true;
        for (const ScriptSizeFigures& s : r.scripts)
            std::printf("interpreter, %ld keys: register %.1f ms, unregister %.1f ms\n", s.keys, s.registerMedian,
                        s.unregisterMedian);
        for (size_t i = 1; i < r.scripts.size(); ++i) {
            for (bool pass : {true, false}) {
                double growth = NormalisedGrowth(r.scripts[i - 1], r.scripts[i], pass);
                bool ok = growth >= kLinearLow && growth <= kLinearHigh;
                linear = linear && ok;
                std::printf("  %s pass %ld -> %ld keys: time x%.2f for keys x%.0f (per key x%.3f) %s\n",
                            pass ? "register" : "unregister", r.scripts[i - 1].keys, r.scripts[i].keys,
                            (pass ? r.scripts[i].registerMedian / r.scripts[i - 1].registerMedian
                                  : r.scripts[i].unregisterMedian / r.scripts[i - 1].unregisterMedian),
                            static_cast<double>(r.scripts[i].keys) / r.scripts[i - 1].keys, growth,
                            ok ? "linear" : "NOT linear");
            }
        }
        if (r.scripts.size() > 1)
            std::printf("target: interpreter time linear in the keys (per-key growth %.2f..%.2f): %s\n", kLinearLow,
                        kLinearHigh, Verdict(linear));
    }
}

int Fail(const char* section, const std::string& error)
{
    std::fprintf(stderr, "morvaleth-bench: %s: %s\n", section, error.c_str());
    std::fflush(stdout);
    return kFailed;
}

int Run(const Options& options)
{
    IValidate* object = nullptr;
    HRESULT created = CoCreateInstance(CLSID_Validate, nullptr, CLSCTX_INPROC_SERVER, IID_IValidate,
                                       reinterpret_cast<void**>(&object));
    if (FAILED(created)) {
        std::fprintf(stderr, "morvaleth-bench: cannot create Morvaleth.Validate (%s); register it first\n",
                     Hex(created).c_str());
        return kNotReady;
    }
    ITypeInfo* info = nullptr;
    HRESULT typed = object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info);
    HMODULE library = ServingModule(object);
    if (FAILED(typed) || info == nullptr || library == nullptr) {
        std::fprintf(stderr, "morvaleth-bench: no type information (%s) or no module for the object\n",
                     Hex(typed).c_str());
        object->Release();
        return kNotReady;
    }

    wchar_t libraryPath[MAX_PATH] = {};
    GetModuleFileNameW(library, libraryPath, MAX_PATH);

    std::printf("morvaleth-bench: performance counter resolution %.0f ns; repetitions %d, batch %.0f us\n",
                CounterResolutionNs(), options.dispatch.repetitions, options.dispatch.batchUs);
    std::fflush(stdout);
    Results results;
    std::string error;
    int status = kDone;
    if (options.sections.count("module")) {
        PrintHeading("Module size and cold start");
        if (!MeasureModuleSize(library, results.size, error) ||
            !MeasureColdStart(results.size.path, options.coldRuns, results.cold, error)) {
            status = Fail("module", error);
        } else {
            PrintColdStart(results.size, results.cold);
            results.module = true;
        }
    }
    if (status == kDone && options.sections.count("dispatch")) {
        PrintHeading("Call paths per check (median ns per call)");
        if (!MeasureDispatch(object, info, options.dispatch, results.calls, error)) {
            status = Fail("dispatch", error);
        } else {
            PrintDispatch(results.calls);
            results.dispatch = true;
        }
    }
    if (status == kDone && options.sections.count("names")) {
        PrintHeading("GetIDsOfNames: name cache against ITypeInfo::GetIDsOfNames (median ns per name)");
        if (!MeasureNames(object, info, options.dispatch, results.lookups, error)) {
            status = Fail("names", error);
        } else {
            PrintNames(results.lookups);
            results.names = true;
        }
    }
    if (status == kDone && options.sections.count("registration")) {
        PrintHeading("DllRegisterServer + DllUnregisterServer, HKEY_CLASSES_ROOT redirected to a scratch key");
        if (!MeasureRegistration(library, options.registrationCycles, results.registry, error)) {
            status = Fail("registration", error);
        } else {
            PrintRegistration(results.registry);
            results.registration = true;
        }
    }
    if (status == kDone && options.sections.count("interpreter")) {
        PrintHeading("Registration-script interpreter on generated scripts (median ms per pass)");
        if (!MeasureInterpreter(options.sizes, options.scriptRepetitions, libraryPath, results.scripts, error)) {
            status = Fail("interpreter", error);
        } else {
            PrintInterpreter(results.scripts);
            results.interpreter = true;
            std::printf("\n");
            PrintRegistryReference(MeasureRegistryReference());
        }
    }
    if (status == kDone && options.sections.count("first-object")) {
        PrintHeading("First object of a fresh process: through the DLL's manifest against through the registry");
        if (!MeasureFirstObject(results.size.path.empty() ? std::wstring(libraryPath) : results.size.path,
                                options.firstObjectPairs, results.first, error)) {
            status = Fail("first-object", error);
        } else {
            PrintFirstObject(results.first);
            results.firstObject = true;
        }
    }
    if (status == kDone && options.sections.count("readings")) {
        PrintHeading("The 26 answers with and without their readings (checks library, in process)");
        if (!MeasureReadings(options.dispatch.repetitions, results.explained)) {
            status = Fail("readings", "ExplainAll gave fewer than 26 outcomes");
        } else {
            PrintReadings(results.explained);
            results.readings = true;
        }
    }
    if (status == kDone && options.sections.count("report")) {
        PrintHeading("morvaleth-report: --format evidence against the plain table");
        if (!MeasureReport(options.reportPairs, results.formats, error)) {
            status = Fail("report", error);
        } else {
            PrintReport(results.formats);
            results.report = true;
        }
    }
    info->Release();
    object->Release();
    if (status == kDone)
        PrintSummary(results);
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--cold-start-child") == 0)
        return RunColdStartChild(WideArguments(argc, argv)[2].c_str());
    if (argc == 4 && std::strcmp(argv[1], "--first-object-child") == 0)
        return RunFirstObjectChild(argv[2], WideArguments(argc, argv)[3].c_str());
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return kDone;
        }
    }
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kHelp, stderr);
        return kUsage;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::fprintf(stderr, "morvaleth-bench: COM did not start\n");
        return kNotReady;
    }
    int status = Run(options);
    CoUninitialize();
    return status;
}
