#pragma once
#include <Morvaleth.h>

#include <string>
#include <vector>

// How every check is reached, fastest first. The direct path is measured twice so that the
// run shows its own noise beside the holder's overhead.
enum CallPath {
    kEarlyBound,          // IValidate vtable
    kLateBound,           // IDispatch::Invoke with a DISPID resolved once
    kNamedLateBound,      // IDispatch::GetIDsOfNames, then IDispatch::Invoke
    kDirectTypeInfo,      // ITypeInfo::Invoke on the object's own type information
    kDirectTypeInfoAgain, // the same again
    kCallPathCount
};

struct DispatchOptions {
    int repetitions;  // interleaved samples per check and path
    double batchUs;   // target length of one timed batch
};

struct CheckFigures {
    std::wstring name;
    bool dispatchBound = false;                  // the check itself costs less than 1 us
    int batch[kCallPathCount] = {};              // calls per timed batch
    std::vector<double> samples[kCallPathCount]; // ns per call, one per repetition
    double median[kCallPathCount] = {};
};

// A set of checks taken together.
struct CheckGroup {
    int checks = 0;
    double total[kCallPathCount] = {};  // sums of the per-check medians
    // Per repetition, the group's sum on one path divided by its sum on the direct path.
    std::vector<double> holderRatio;    // late-bound Invoke / direct ITypeInfo::Invoke
    std::vector<double> noiseRatio;     // direct again / direct
    double worstHolderRatio = 0;        // the highest per-check ratio of medians
};

struct DispatchFigures {
    std::vector<CheckFigures> checks;
    CheckGroup all;
    // Checks whose own work is cheaper than the dispatch, where the holder's share is largest
    // and the registry's noise does not hide it.
    CheckGroup dispatchBound;
};

// Times every check on every path; false with `error` set when a call fails.
bool MeasureDispatch(IValidate* object, ITypeInfo* info, const DispatchOptions& options,
                     DispatchFigures& figures, std::string& error);
void PrintDispatch(const DispatchFigures& figures);

enum NamePath {
    kNameCache,      // IDispatch::GetIDsOfNames, the name spelled as in the type library
    kNamePlatform,   // ITypeInfo::GetIDsOfNames with the same name
    kNameOtherCase,  // IDispatch::GetIDsOfNames in upper case: misses the cache
    kNamePathCount
};

struct NameFigures {
    std::wstring name;
    int index = -1;  // function index in the type information
    int batch[kNamePathCount] = {};
    double median[kNamePathCount] = {};
};

struct NamesFigures {
    std::vector<NameFigures> names;
    double total[kNamePathCount] = {};
    double lowestSpeedUp = 0;  // the smallest per-name ratio platform / cache
    int functions = 0;         // functions of the type information (entries of the name table)
};

bool MeasureNames(IValidate* object, ITypeInfo* info, const DispatchOptions& options,
                  NamesFigures& figures, std::string& error);
void PrintNames(const NamesFigures& figures);
