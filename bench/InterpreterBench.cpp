#include "InterpreterBench.h"

#include <cstdio>
#include <vector>
#include <memory>
#include <new>

#include "Report.h"
#include "ScratchRoot.h"
#include "Stopwatch.h"
#include "registrar/ScriptParser.h"
#include "registrar/ScriptVariables.h"

int DefaultScriptRepetitions(long keys) { return keys <= 1000 ? 9 : keys <= 10000 ? 5 : 3; }

bool MeasureInterpreter(const std::vector<long>& sizes, int repetitions, const std::wstring& module,
                        std::vector<ScriptSizeFigures>& figures, std::string& error)
{
    ScriptVariables variables;
    if (FAILED(variables.Add(L"Module", module.c_str()))) {
        error = "cannot define the script variable Module";
        return false;
    }
    RedirectedClassesRoot root("Scripts");
    if (!root.Active()) {
        error = "cannot redirect HKEY_CLASSES_ROOT to a scratch key";
        return false;
    }
    // Its 4 KB token buffer is better off the stack.
    std::unique_ptr<ScriptParser> parser(new (std::nothrow) ScriptParser());
    if (!parser) {
        error = "out of memory";
        return false;
    }
    figures.clear();
    for (long keys : sizes) {
        GeneratedScript script = GenerateScript(keys);
        ScriptSizeFigures size;
        size.keys = script.keys;
        size.bytes = script.text.size();
        size.depth = script.depth;
        size.classes = script.classes;
        size.groups = script.groups;
        int count = repetitions > 0 ? repetitions : DefaultScriptRepetitions(keys);
        for (int r = 0; r < count; ++r) {
            root.Clear();
            Stopwatch watch;
            HRESULT registered = parser->Apply(script.text.c_str(), variables, TRUE);
            double registerMs = watch.ElapsedNs() / 1e6;
            if (registered != S_OK) {
                error = "the register pass of " + std::to_string(keys) + " keys answered " + Hex(registered);
                return false;
            }
            // The whole tree is counted once per size; it costs as much as the pass itself.
            if (r == 0 && CountSubkeys(root.Scratch()) != script.keys) {
                error = "the register pass of " + std::to_string(keys) + " keys created " +
                        std::to_string(CountSubkeys(root.Scratch())) + " keys";
                return false;
            }
            watch.Restart();
            HRESULT unregistered = parser->Apply(script.text.c_str(), variables, FALSE);
            double unregisterMs = watch.ElapsedNs() / 1e6;
            if (unregistered != S_OK) {
                error = "the unregister pass of " + std::to_string(keys) + " keys answered " + Hex(unregistered);
                return false;
            }
            long left = CountSubkeys(root.Scratch());
            if (left != script.remaining) {
                error = "the unregister pass of " + std::to_string(keys) + " keys left " + std::to_string(left) +
                        " keys, not " + std::to_string(script.remaining);
                return false;
            }
            size.registerMs.push_back(registerMs);
            size.unregisterMs.push_back(unregisterMs);
        }
        size.registerMedian = Median(size.registerMs);
        size.unregisterMedian = Median(size.unregisterMs);
        figures.push_back(size);
        root.Clear();
    }
    return true;
}

double NormalisedGrowth(const ScriptSizeFigures& from, const ScriptSizeFigures& to, bool registerPass)
{
    double a = registerPass ? from.registerMedian : from.unregisterMedian;
    double b = registerPass ? to.registerMedian : to.unregisterMedian;
    return (b / a) / (static_cast<double>(to.keys) / static_cast<double>(from.keys));
}

void PrintInterpreter(const std::vector<ScriptSizeFigures>& figures)
{
    std::printf("%8s %10s %7s %6s %5s %12s %12s %11s %11s %5s\n", "keys", "bytes", "classes", "groups", "depth",
                "register ms", "unregist. ms", "reg us/key", "unreg us/key", "reps");
    for (const ScriptSizeFigures& f : figures) {
        std::printf("%8ld %10zu %7ld %6ld %5d %12.1f %12.1f %11.2f %11.2f %5zu\n", f.keys, f.bytes, f.classes,
                    f.groups, f.depth, f.registerMedian, f.unregisterMedian, 1000.0 * f.registerMedian / f.keys,
                    1000.0 * f.unregisterMedian / f.keys, f.registerMs.size());
    }
    std::printf("\n");
    for (size_t i = 1; i < figures.size(); ++i) {
        const ScriptSizeFigures& a = figures[i - 1];
        const ScriptSizeFigures& b = figures[i];
        std::printf("%ld -> %ld keys (x%.0f): register x%.2f, unregister x%.2f; per key: register x%.3f, unregister x%.3f\n",
                    a.keys, b.keys, static_cast<double>(b.keys) / a.keys, b.registerMedian / a.registerMedian,
                    b.unregisterMedian / a.unregisterMedian, NormalisedGrowth(a, b, true), NormalisedGrowth(a, b, false));
    }
    for (const ScriptSizeFigures& f : figures) {
        std::printf("  %ld keys, every repetition (ms): register", f.keys);
        for (double ms : f.registerMs)
            std::printf(" %.1f", ms);
        std::printf("; unregister");
        for (double ms : f.unregisterMs)
            std::printf(" %.1f", ms);
        std::printf("\n");
    }
}

RegistryReference MeasureRegistryReference()
{
    const int kRounds = 15;
    const int kCalls = 200;
    RegistryReference reference;
    RedirectedClassesRoot root("Reference");
    if (!root.Active())
        return reference;
    std::vector<double> query, open, create;
    for (int r = 0; r < kRounds; ++r) {
        Stopwatch watch;
        for (int i = 0; i < kCalls; ++i) {
            DWORD subkeys = 0;
            RegQueryInfoKeyA(root.Scratch(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr);
        }
        query.push_back(watch.ElapsedNs() / kCalls / 1000.0);
        watch.Restart();
        for (int i = 0; i < kCalls; ++i) {
            HKEY key = nullptr;
            if (RegOpenKeyExA(root.Scratch(), "Missing", 0, KEY_READ, &key) == ERROR_SUCCESS)
                RegCloseKey(key);
        }
        open.push_back(watch.ElapsedNs() / kCalls / 1000.0);
        watch.Restart();
        for (int i = 0; i < kCalls; ++i) {
            HKEY key = nullptr;
            if (RegCreateKeyExA(root.Scratch(), "New", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                &key, nullptr) == ERROR_SUCCESS)
                RegCloseKey(key);
            RegDeleteKeyA(root.Scratch(), "New");
        }
        create.push_back(watch.ElapsedNs() / kCalls / 1000.0);
    }
    reference.queryInfoUs = Median(query);
    reference.openMissingUs = Median(open);
    reference.createCloseUs = Median(create);
    return reference;
}

void PrintRegistryReference(const RegistryReference& reference)
{
    std::printf("registry reference (median us per call): RegQueryInfoKeyA %.1f; RegOpenKeyExA of a missing key %.1f;\n"
                "  RegCreateKeyExA + RegCloseKey + RegDeleteKeyA of a new key %.1f\n",
                reference.queryInfoUs, reference.openMissingUs, reference.createCloseUs);
}
