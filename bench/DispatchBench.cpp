#include "DispatchBench.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwctype>

#include "EarlyBoundChecks.h"
#include "Report.h"
#include "Stopwatch.h"

namespace {
// Every answer is folded in here, so that no call loop can be optimised away.
volatile unsigned g_sink = 0;

const LCID kLocale = LOCALE_USER_DEFAULT;  // what script hosts pass
const double kDispatchBoundNs = 1000.0;

struct Subject {
    IValidate* object;
    ITypeInfo* info;
    const EarlyBoundCheck* check;
    LPOLESTR name;
    DISPID id;
};

unsigned Fold(VARIANT& result)
{
    unsigned folded = result.vt;
    if (result.vt == VT_BSTR)
        folded += SysStringLen(result.bstrVal);
    else if (result.vt == VT_BOOL)
        folded += static_cast<unsigned short>(result.boolVal);
    VariantClear(&result);
    return folded;
}

// One call on path P; every path frees the text it receives, as its caller must.
template <CallPath P>
HRESULT CallOnce(const Subject& s, unsigned& sink)
{
    if constexpr (P == kEarlyBound) {
        return CallEarlyBound(s.object, *s.check, sink);
    } else {
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        VARIANT result;
        VariantInit(&result);
        HRESULT hr = S_OK;
        if constexpr (P == kLateBound) {
            hr = s.object->Invoke(s.id, IID_NULL, kLocale, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
        } else if constexpr (P == kNamedLateBound) {
            DISPID id = DISPID_UNKNOWN;
            LPOLESTR name = s.name;
            hr = s.object->GetIDsOfNames(IID_NULL, &name, 1, kLocale, &id);
            if (SUCCEEDED(hr))
                hr = s.object->Invoke(id, IID_NULL, kLocale, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
        } else {
            hr = s.info->Invoke(s.object, s.id, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
        }
        sink += Fold(result);
        return hr;
    }
}

template <CallPath P>
double RunBatch(const Subject& s, int calls, HRESULT& failure)
{
    unsigned sink = 0;
    HRESULT worst = S_OK;
    Stopwatch watch;
    for (int i = 0; i < calls; ++i)
        worst |= CallOnce<P>(s, sink);
    double ns = watch.ElapsedNs() / calls;
    g_sink = g_sink + sink;
    if (worst != S_OK)
        failure = worst;
    return ns;
}

// ns per call over a batch of `calls`; each path has its own loop, with no branch on the path.
double TimeBatch(CallPath path, const Subject& s, int calls, HRESULT& failure)
{
    switch (path) {
    case kEarlyBound:
        return RunBatch<kEarlyBound>(s, calls, failure);
    case kLateBound:
        return RunBatch<kLateBound>(s, calls, failure);
    case kNamedLateBound:
        return RunBatch<kNamedLateBound>(s, calls, failure);
    case kDirectTypeInfo:
        return RunBatch<kDirectTypeInfo>(s, calls, failure);
    case kDirectTypeInfoAgain:
        return RunBatch<kDirectTypeInfoAgain>(s, calls, failure);
    default:
        failure = E_INVALIDARG;
        return 0;
    }
}

const char* PathName(CallPath path)
{
    static const char* const kNames[kCallPathCount] = {
        "early-bound", "late-bound Invoke", "GetIDsOfNames+Invoke", "ITypeInfo::Invoke", "ITypeInfo::Invoke (again)"};
    return kNames[path];
}

int BatchFor(double perCallNs, double batchUs)
{
    double calls = batchUs * 1000.0 / std::max(perCallNs, 1.0);
    return static_cast<int>(std::min(1e6, std::max(4.0, std::ceil(calls))));
}

std::wstring Upper(const wchar_t* name)
{
    std::wstring upper(name);
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(c));
    return upper;
}

template <NamePath P>
double RunNames(IValidate* object, ITypeInfo* info, LPOLESTR name, int calls, DISPID expected, HRESULT& failure)
{
    int wrong = 0;
    HRESULT worst = S_OK;
    Stopwatch watch;
    for (int i = 0; i < calls; ++i) {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[1] = {name};
        if constexpr (P == kNamePlatform)
            worst |= info->GetIDsOfNames(names, 1, &id);
        else
            worst |= object->GetIDsOfNames(IID_NULL, names, 1, kLocale, &id);
        wrong += id != expected;
    }
    double ns = watch.ElapsedNs() / calls;
    g_sink = g_sink + static_cast<unsigned>(wrong);
    if (worst != S_OK || wrong != 0)
        failure = worst != S_OK ? worst : E_UNEXPECTED;
    return ns;
}

// ns per call of one GetIDsOfNames path over a batch; every answer must be `expected`.
double TimeNames(NamePath path, IValidate* object, ITypeInfo* info, LPOLESTR name, int calls, DISPID expected,
                 HRESULT& failure)
{
    switch (path) {
    case kNameCache:
        return RunNames<kNameCache>(object, info, name, calls, expected, failure);
    case kNamePlatform:
        return RunNames<kNamePlatform>(object, info, name, calls, expected, failure);
    case kNameOtherCase:
        return RunNames<kNameOtherCase>(object, info, name, calls, expected, failure);
    default:
        failure = E_INVALIDARG;
        return 0;
    }
}
}  // namespace

bool MeasureDispatch(IValidate* object, ITypeInfo* info, const DispatchOptions& options, DispatchFigures& figures,
                     std::string& error)
{
    const std::vector<EarlyBoundCheck>& checks = EarlyBoundChecks();
    if (checks.empty()) {
        error = "the bench's table of checks no longer matches the report client's";
        return false;
    }
    std::vector<Subject> subjects;
    figures.checks.clear();
    for (const EarlyBoundCheck& check : checks) {
        Subject s = {object, info, &check, const_cast<LPOLESTR>(check.name), DISPID_UNKNOWN};
        DISPID platform = DISPID_UNKNOWN;
        LPOLESTR name = s.name;
        if (FAILED(object->GetIDsOfNames(IID_NULL, &name, 1, kLocale, &s.id)) ||
            FAILED(info->GetIDsOfNames(&name, 1, &platform)) || s.id != platform) {
            error = "the object and its type information disagree on the DISPID of " + ToAnsi(check.name);
            return false;
        }
        subjects.push_back(s);
        CheckFigures row;
        row.name = check.name;
        figures.checks.push_back(row);
    }

    // Warm every path, then size its batches.
    for (size_t c = 0; c < subjects.size(); ++c) {
        for (int p = 0; p < kCallPathCount; ++p) {
            HRESULT failure = S_OK;
            TimeBatch(static_cast<CallPath>(p), subjects[c], 3, failure);
            double ns = TimeBatch(static_cast<CallPath>(p), subjects[c], 8, failure);
            if (failure != S_OK) {
                error = ToAnsi(figures.checks[c].name) + " failed on the path " + PathName(static_cast<CallPath>(p)) +
                        " with " + Hex(failure);
                return false;
            }
            figures.checks[c].batch[p] = BatchFor(ns, options.batchUs);
            if (p == kEarlyBound)
                figures.checks[c].dispatchBound = ns < kDispatchBoundNs;
        }
    }

    // Interleaved: each repetition visits every check, and the paths of a check in rotating
    // order, so that drift of the machine falls on all paths alike.
    figures.all = CheckGroup();
    figures.dispatchBound = CheckGroup();
    for (int r = 0; r < options.repetitions; ++r) {
        double sums[2][kCallPathCount] = {};
        for (size_t c = 0; c < subjects.size(); ++c) {
            CheckFigures& row = figures.checks[c];
            for (int k = 0; k < kCallPathCount; ++k) {
                CallPath path = static_cast<CallPath>((k + r) % kCallPathCount);
                HRESULT failure = S_OK;
                double ns = TimeBatch(path, subjects[c], row.batch[path], failure);
                if (failure != S_OK) {
                    error = ToAnsi(row.name) + " failed on the path " + PathName(path) + " with " + Hex(failure);
                    return false;
                }
                row.samples[path].push_back(ns);
                sums[0][path] += ns;
                if (row.dispatchBound)
                    sums[1][path] += ns;
            }
        }
        CheckGroup* groups[2] = {&figures.all, &figures.dispatchBound};
        for (int g = 0; g < 2; ++g) {
            if (sums[g][kDirectTypeInfo] <= 0)
                continue;
            groups[g]->holderRatio.push_back(sums[g][kLateBound] / sums[g][kDirectTypeInfo]);
            groups[g]->noiseRatio.push_back(sums[g][kDirectTypeInfoAgain] / sums[g][kDirectTypeInfo]);
        }
    }

    for (CheckFigures& row : figures.checks) {
        for (int p = 0; p < kCallPathCount; ++p)
            row.median[p] = Median(row.samples[p]);
        double ratio = row.median[kLateBound] / row.median[kDirectTypeInfo];
        for (CheckGroup* group : {&figures.all, row.dispatchBound ? &figures.dispatchBound : nullptr}) {
            if (group == nullptr)
                continue;
            ++group->checks;
            for (int p = 0; p < kCallPathCount; ++p)
                group->total[p] += row.median[p];
            group->worstHolderRatio = std::max(group->worstHolderRatio, ratio);
        }
    }
    return true;
}

void PrintDispatch(const DispatchFigures& f)
{
    std::printf("%-22s %6s %9s %9s %10s %10s %10s %6s %8s %9s %9s\n", "check", "early", "early", "late",
                "names+late", "TI::Invoke", "TI again", "late/", "holder/", "holder-TI", "TI again/");
    std::printf("%-22s %6s %9s %9s %10s %10s %10s %6s %8s %9s %9s\n", "", "batch", "ns", "ns", "ns", "ns", "ns",
                "early", "TI", "ns", "TI");
    auto line = [](const std::string& name, const std::string& batch, const double* m) {
        std::printf("%-22s %6s %9.0f %9.0f %10.0f %10.0f %10.0f %6.2f %8.4f %+9.0f %9.4f\n", name.c_str(),
                    batch.c_str(), m[kEarlyBound], m[kLateBound], m[kNamedLateBound], m[kDirectTypeInfo],
                    m[kDirectTypeInfoAgain], m[kLateBound] / m[kEarlyBound], m[kLateBound] / m[kDirectTypeInfo],
                    m[kLateBound] - m[kDirectTypeInfo], m[kDirectTypeInfoAgain] / m[kDirectTypeInfo]);
    };
    for (const CheckFigures& row : f.checks)
        line(ToAnsi(row.name) + (row.dispatchBound ? " *" : ""), std::to_string(row.batch[kEarlyBound]), row.median);
    line("TOTAL (" + std::to_string(f.all.checks) + " checks)", "", f.all.total);
    line("TOTAL * (" + std::to_string(f.dispatchBound.checks) + " checks)", "", f.dispatchBound.total);
    std::printf("* dispatch-bound: the check's own work costs less than %.0f ns early-bound\n", kDispatchBoundNs);

    for (const CheckGroup* group : {&f.all, &f.dispatchBound}) {
        if (group->checks == 0)
            continue;
        const double* t = group->total;
        std::printf("\n%s:\n", group == &f.all ? "all checks" : "dispatch-bound checks (*)");
        std::printf("  late-bound / early-bound %.2fx; GetIDsOfNames+Invoke / early-bound %.2fx\n",
                    t[kLateBound] / t[kEarlyBound], t[kNamedLateBound] / t[kEarlyBound]);
        std::printf("  holder Invoke / direct ITypeInfo::Invoke: %.4f (sum of medians), worst single check %.4f\n",
                    t[kLateBound] / t[kDirectTypeInfo], group->worstHolderRatio);
        std::printf("    paired per repetition: median %.4f, quartiles %.4f .. %.4f (%zu repetitions)\n",
                    Median(group->holderRatio), Quantile(group->holderRatio, 0.25), Quantile(group->holderRatio, 0.75),
                    group->holderRatio.size());
        std::printf("    noise of the method, ITypeInfo::Invoke again / ITypeInfo::Invoke: median %.4f, quartiles %.4f .. %.4f\n",
                    Median(group->noiseRatio), Quantile(group->noiseRatio, 0.25), Quantile(group->noiseRatio, 0.75));
        // Only where the checks' own work does not drown it.
        if (group == &f.dispatchBound)
            std::printf("  per call: ITypeInfo::Invoke adds %.0f ns to early binding, the holder %+.1f ns to that\n",
                        (t[kDirectTypeInfo] - t[kEarlyBound]) / group->checks,
                        (t[kLateBound] - t[kDirectTypeInfo]) / group->checks);
    }
    std::printf("(sink %u)\n", static_cast<unsigned>(g_sink));
}

bool MeasureNames(IValidate* object, ITypeInfo* info, const DispatchOptions& options, NamesFigures& figures,
                  std::string& error)
{
    const std::vector<EarlyBoundCheck>& checks = EarlyBoundChecks();
    if (checks.empty()) {
        error = "the bench's table of checks no longer matches the report client's";
        return false;
    }
    struct Row {
        LPOLESTR name;
        std::wstring upper;
        DISPID id;
        std::vector<double> samples[kNamePathCount];
    };
    // The checks, and the page hooks that a page host looks up by name.
    std::vector<const wchar_t*> members;
    for (const EarlyBoundCheck& check : checks)
        members.push_back(check.name);
    members.push_back(L"OnStartPage");
    members.push_back(L"OnEndPage");
    std::vector<Row> rows;
    for (const wchar_t* member : members) {
        Row row = {const_cast<LPOLESTR>(member), Upper(member), DISPID_UNKNOWN, {}};
        LPOLESTR name = row.name;
        if (FAILED(info->GetIDsOfNames(&name, 1, &row.id))) {
            error = "ITypeInfo::GetIDsOfNames does not know " + ToAnsi(member);
            return false;
        }
        rows.push_back(row);
    }
    figures.names.assign(rows.size(), NameFigures());
    // Where each name stands among the functions: both searches are linear.
    TYPEATTR* attributes = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attributes)) && attributes != nullptr) {
        figures.functions = attributes->cFuncs;
        info->ReleaseTypeAttr(attributes);
    }
    for (int f = 0; f < figures.functions; ++f) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(static_cast<UINT>(f), &function)) || function == nullptr)
            continue;
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].id == function->memid)
                figures.names[i].index = f;
        info->ReleaseFuncDesc(function);
    }

    for (size_t i = 0; i < rows.size(); ++i) {
        figures.names[i].name = rows[i].name;
        for (int p = 0; p < kNamePathCount; ++p) {
            LPOLESTR name = p == kNameOtherCase ? const_cast<LPOLESTR>(rows[i].upper.c_str()) : rows[i].name;
            HRESULT failure = S_OK;
            TimeNames(static_cast<NamePath>(p), object, info, name, 3, rows[i].id, failure);
            double ns = TimeNames(static_cast<NamePath>(p), object, info, name, 64, rows[i].id, failure);
            if (failure != S_OK) {
                error = "GetIDsOfNames of " + ToAnsi(rows[i].name) + " failed or answered another DISPID: " + Hex(failure);
                return false;
            }
            figures.names[i].batch[p] = BatchFor(ns, options.batchUs / 2);
        }
    }
    for (int r = 0; r < options.repetitions; ++r) {
        for (size_t i = 0; i < rows.size(); ++i) {
            for (int k = 0; k < kNamePathCount; ++k) {
                NamePath path = static_cast<NamePath>((k + r) % kNamePathCount);
                LPOLESTR name = path == kNameOtherCase ? const_cast<LPOLESTR>(rows[i].upper.c_str()) : rows[i].name;
                HRESULT failure = S_OK;
                double ns = TimeNames(path, object, info, name, figures.names[i].batch[path], rows[i].id, failure);
                if (failure != S_OK) {
                    error = "GetIDsOfNames of " + ToAnsi(rows[i].name) + " failed: " + Hex(failure);
                    return false;
                }
                rows[i].samples[path].push_back(ns);
            }
        }
    }
    figures.lowestSpeedUp = 1e9;
    for (size_t i = 0; i < rows.size(); ++i) {
        NameFigures& row = figures.names[i];
        for (int p = 0; p < kNamePathCount; ++p) {
            row.median[p] = Median(rows[i].samples[p]);
            figures.total[p] += row.median[p];
        }
        figures.lowestSpeedUp = std::min(figures.lowestSpeedUp, row.median[kNamePlatform] / row.median[kNameCache]);
    }
    return true;
}

void PrintNames(const NamesFigures& f)
{
    std::printf("%-22s %5s %6s %12s %14s %9s %14s\n", "name", "index", "cache", "name cache", "ITypeInfo::",
                "speed-up", "upper case");
    std::printf("%-22s %5s %6s %12s %14s %9s %14s\n", "", "", "batch", "ns", "GetIDsOfNames ns", "", "(miss) ns");
    auto line = [](const std::string& name, const std::string& index, const std::string& batch, const double* m) {
        std::printf("%-22s %5s %6s %12.1f %14.1f %8.1fx %14.1f\n", name.c_str(), index.c_str(), batch.c_str(),
                    m[kNameCache], m[kNamePlatform], m[kNamePlatform] / m[kNameCache], m[kNameOtherCase]);
    };
    for (const NameFigures& row : f.names)
        line(ToAnsi(row.name), std::to_string(row.index), std::to_string(row.batch[kNameCache]), row.median);
    line("TOTAL (" + std::to_string(f.names.size()) + " names)", "", "", f.total);
    std::printf("\nindex: the member's function index among the %d functions of the type information\n",
                f.functions);
    std::printf("name cache vs ITypeInfo::GetIDsOfNames: %.1fx faster over all names, %.1fx for the least favoured name\n",
                f.total[kNamePlatform] / f.total[kNameCache], f.lowestSpeedUp);
    std::printf("  mean per name: cache %.1f ns, ITypeInfo::GetIDsOfNames %.1f ns\n",
                f.total[kNameCache] / static_cast<double>(f.names.size()),
                f.total[kNamePlatform] / static_cast<double>(f.names.size()));
}
