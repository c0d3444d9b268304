#include "FirstObjectBench.h"

#include <cstdio>
#include <cstring>
#include <cwctype>
#include <memory>

#include "ModuleLoad.h"
#include "Report.h"
#include "Stopwatch.h"
#include "common/Activation.h"
#include "common/CanonicalPath.h"
#include "common/ModulePath.h"
#include "regfree/FirstObject.h"

namespace {

const char kChildTag[] = "first-object";
const char* const kWays[] = {"manifest", "registry"};

bool RunOnce(const std::wstring& library, const char* way, double& contextMs, double& totalMs, std::string& error)
{
    std::wstring commandLine = L"\"" + ModulePath(nullptr) + L"\" --first-object-child " +
                               std::wstring(way, way + std::strlen(way)) + L" \"" + library + L"\"";
    std::string output;
    DWORD exitCode = 1;
    if (!RunChild(commandLine, output, exitCode) || exitCode != 0) {
        error = std::string("the ") + way + " child failed (exit " + std::to_string(exitCode) + "): " + output;
        return false;
    }
    double context = 0, total = 0;
    char tag[16] = {};
    int consumed = 0;
    if (std::sscanf(output.c_str(), "%15s %lf %lf %n", tag, &context, &total, &consumed) != 3 ||
        std::string(tag) != kChildTag) {
        error = std::string("the ") + way + " child answered: " + output;
        return false;
    }
    std::string module = output.substr(consumed);
    while (!module.empty() && (module.back() == '\n' || module.back() == '\r'))
        module.pop_back();
    if (ToAnsi(CanonicalPath(library)) != module) {
        error = std::string("the ") + way + " way loaded " + module + ", not " + ToAnsi(CanonicalPath(library));
        return false;
    }
    contextMs = context / 1e6;
    totalMs = total / 1e6;
    return true;
}

}  // namespace

bool MeasureFirstObject(const std::wstring& library, int pairs, FirstObjectFigures& figures, std::string& error)
{
    // One pair first, not counted: the first processes of a Wine session start the services.
    for (int i = -1; i < pairs; ++i) {
        for (const char* way : kWays) {
            double context = 0, total = 0;
            if (!RunOnce(library, way, context, total, error))
                return false;
            if (i < 0)
                continue;
            if (way == kWays[0]) {
                figures.manifestMs.push_back(total);
                figures.contextMs.push_back(context);
            } else {
                figures.registryMs.push_back(total);
            }
        }
    }
    return true;
}

double FirstObjectRatio(const FirstObjectFigures& f) { return Median(f.manifestMs) / Median(f.registryMs); }

void PrintFirstObject(const FirstObjectFigures& f)
{
    std::printf("fresh child process per sample, the two ways alternating, COM started before the clock (ms):\n");
    PrintTimingHeader(52);
    auto line = [](const char* what, const std::vector<double>& ms) { PrintTimingRow(52, what, ms); };
    line("manifest: CreateActCtxW + ActivateActCtx", f.contextMs);
    line("manifest: whole first object", f.manifestMs);
    line("registry: whole first object", f.registryMs);
    std::printf("samples: %zu per way; manifest / registry (medians): %.3f\n", f.manifestMs.size(), FirstObjectRatio(f));
}

int RunFirstObjectChild(const char* way, const wchar_t* library)
{
    bool manifest = std::strcmp(way, kWays[0]) == 0;
    if (!manifest && std::strcmp(way, kWays[1]) != 0)
        return 1;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 2;
    int status = 3;
    {
        Stopwatch watch;
        std::unique_ptr<ManifestContext> context;
        if (manifest)
            context.reset(new ManifestContext(library));
        double activated = watch.ElapsedNs();
        if (context && FAILED(context->Result())) {
            std::printf("the activation context failed: %s\n", Hex(context->Result()).c_str());
        } else {
            FirstObject first = CreateFirstObject(L"Morvaleth.Validate");
            double done = watch.ElapsedNs();
            if (first.invoke == S_OK && !first.lateText.empty()) {
                std::printf("%s %.0f %.0f %s\n", kChildTag, activated, done, ToAnsi(CanonicalPath(first.module)).c_str());
                status = 0;
            } else {
                std::printf("%s\n", Describe(L"Morvaleth.Validate", first).c_str());
            }
        }
    }
    CoUninitialize();
    return status;
}
