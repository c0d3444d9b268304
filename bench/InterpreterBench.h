#pragma once
#include <string>
#include <vector>

#include "ScriptGenerator.h"

struct ScriptSizeFigures {
    long keys = 0;
    size_t bytes = 0;
    int depth = 0;
    long classes = 0;
    long groups = 0;
    std::vector<double> registerMs;
    std::vector<double> unregisterMs;
    double registerMedian = 0;
    double unregisterMedian = 0;
};

// The interpreter (ScriptParser::Apply, expansion included) on generated scripts of each size,
// register and unregister pass, against HKEY_CLASSES_ROOT redirected to a scratch key. Each
// register pass is checked to have created exactly the script's keys, each unregister pass to
// have left only what the script spares.
bool MeasureInterpreter(const std::vector<long>& sizes, int repetitions, const std::wstring& module,
                        std::vector<ScriptSizeFigures>& figures, std::string& error);
// Growth from one size to the next, divided by the growth of the size: 1.0 is linear.
double NormalisedGrowth(const ScriptSizeFigures& from, const ScriptSizeFigures& to, bool registerPass);
void PrintInterpreter(const std::vector<ScriptSizeFigures>& figures);

// What one registry request costs here, for reading the figures above: under Wine every
// registry call is a round trip to the wine server.
struct RegistryReference {
    double queryInfoUs = 0;   // RegQueryInfoKeyA on an open key
    double openMissingUs = 0; // RegOpenKeyExA of a key that does not exist
    double createCloseUs = 0; // RegCreateKeyExA of a new key, RegCloseKey, RegDeleteKeyA
};
RegistryReference MeasureRegistryReference();
void PrintRegistryReference(const RegistryReference& reference);
// Repetitions used for a size when none are given.
int DefaultScriptRepetitions(long keys);
