// morvaleth-report: what Morvaleth.Validate answers on this machine.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Checks.h"
#include "Findings.h"
#include "Formats.h"
#include "HostRecord.h"
#include "Output.h"
#include "OutputFile.h"
#include "RegistrationExport.h"
#include "Requirements.h"
#include "checks/CheckExplanation.h"
#include "common/Activation.h"
#include "common/ModulePath.h"
#include "common/Text.h"
#include "version.h"

namespace {

enum ExitStatus {
    kAllAnswered = 0,
    kUsage = 1,
    kNoObject = 2,
    kCallFailed = 3,
    kCannotCreate = 4,
    kExportFailed = 5,
    kRequirementUnmet = 6,
};

// "2.6.0.0" from the version resource's numbers.
#define DOTTED(a, b, c, d) #a "." #b "." #c "." #d
#define DOTTED_VERSION(numbers) DOTTED(numbers)
const char kToolVersion[] = DOTTED_VERSION(MORVALETH_VERSION);

const char kHelp[] =
    "Usage: morvaleth-report [--late] [--format FORMAT] [--explain] [--out FILE] [--dll PATH]\n"
    "                        [--require CHECK[=VALUE]]... [--undetermined=pass]\n"
    "       morvaleth-report --export-registration [--dll PATH] [--installer FILEKEY DIRPROPERTY]\n"
    "\n"
    "Creates \"Morvaleth.Validate\" through COM and shows what each of its 26 checks answers\n"
    "on this machine, and why. When the class is not registered it uses the Morvaleth.DLL beside\n"
    "this program through the DLL's own manifest, with nothing registered and nothing written.\n"
    "\n"
    "  --late                 call every check by name through IDispatch, as scripts do\n"
    "                         (default: early-bound through the IValidate interface)\n"
    "  --format FORMAT        table   an aligned table of the answers (the default)\n"
    "                         json    one JSON object: check names as keys, flags as\n"
    "                                 true/false, texts as strings\n"
    "                         evidence  a JSON document (share/morvaleth/evidence.schema.json):\n"
    "                                 the host, the DLL, every answer with its state, reason\n"
    "                                 and readings, the requirements and a verdict\n"
    "                         junit   JUnit XML: a test case per check, an unmet requirement a\n"
    "                                 failure, an undetermined one an error\n"
    "                         html    one self-contained page, readable printed\n"
    "                         line    one line of at most 2048 characters: the verdict and the\n"
    "                                 unmet or undetermined checks\n"
    "  --json                 the same as --format json\n"
    "  --explain              the table with a State and a Why column: determined, or\n"
    "                         undetermined when the check could not tell, and the reason\n"
    "  --out FILE             write the report to FILE (UTF-8, no byte-order mark) instead of\n"
    "                         standard output: whole or not at all\n"
    "  --dll PATH             use this Morvaleth.DLL through its manifest, registered or not\n"
    "                         (it must be of this program's bitness and keep its file name)\n"
    "  --require CHECK[=VALUE]\n"
    "                         a condition the answers must meet (repeatable): a flag check\n"
    "                         alone must be true, CHECK=0 false; a text check CHECK=TEXT must\n"
    "                         give exactly TEXT. Each unmet one is printed on standard error and\n"
    "                         listed in the JSON object as \"unmet\"\n"
    "  --undetermined=pass    a requirement on a check that could not tell counts as met for the\n"
    "                         exit status (default --undetermined=fail: it counts as unmet); it is\n"
    "                         reported as undetermined either way\n"
    "  --export-registration  print, as a REGEDIT4 .reg file, exactly what\n"
    "                         DllRegisterServer writes (it is run with HKEY_CLASSES_ROOT\n"
    "                         redirected to a scratch key, which is removed afterwards)\n"
    "                         --dll names the DLL to export (default: the one beside this program)\n"
    "  --installer FILEKEY DIRPROPERTY\n"
    "                         write values as Windows Installer formatted text for a Registry\n"
    "                         table: the DLL's path becomes [!FILEKEY] or [#FILEKEY], its\n"
    "                         folder [DIRPROPERTY]\n"
    "  --help                 show this text\n"
    "\n"
    "Exit status: 0 every check answered (and every requirement met); 1 bad arguments (an unknown\n"
    "check or format, a malformed requirement, an --out that cannot be written: nothing is\n"
    "checked or written); 2 no object: the class is not registered and the DLL's manifest gave\n"
    "none either; 3 a check failed; 4 the registered class could not be created, nor the DLL\n"
    "through its manifest; 5 the export failed; 6 a requirement is not met (or undetermined,\n"
    "without --undetermined=pass).\n";

struct Options {
    bool late = false;
    Format format = Format::Table;
    bool formatGiven = false;
    bool explain = false;
    bool undeterminedPasses = false;
    bool outGiven = false;
    std::wstring out;
    bool dllGiven = false;
    std::wstring dll;
    std::vector<Requirement> requirements;
};

// The registered class first, unless a DLL was named; then the DLL's manifest. Says on standard
// error which DLL answers, or why none does.
int Activate(const Options& options, ActivatedObject& validate, bool& throughManifest)
{
    REFIID iid = options.late ? IID_IDispatch : IID_IValidate;
    HRESULT registered = S_OK;
    if (!options.dllGiven) {
        registered = validate.ThroughRegistration(iid);
        if (SUCCEEDED(registered)) {
            std::fprintf(stderr, "morvaleth-report: using the registered %s\n", ToAnsi(validate.Module()).c_str());
            return kAllAnswered;
        }
    }
    HRESULT manifest = validate.ThroughManifest(options.dll, iid);
    throughManifest = SUCCEEDED(manifest);
    if (SUCCEEDED(manifest)) {
        std::string why = options.dllGiven ? "as --dll asked"
                          : IsNotRegistered(registered) ? "the class is not registered"
                                                        : "the registered class could not be created";
        std::fprintf(stderr, "morvaleth-report: using the unregistered %s through its manifest (%s)\n",
                     ToAnsi(validate.Module()).c_str(), why.c_str());
        return kAllAnswered;
    }
    if (!options.dllGiven)
        std::fprintf(stderr, "morvaleth-report: the class \"Morvaleth.Validate\" %s (0x%08lX)\n",
                     IsNotRegistered(registered) ? "is not registered" : "cannot be created",
                     static_cast<unsigned long>(registered));
    std::fprintf(stderr,
                 "morvaleth-report: %s gives no object through its manifest (0x%08lX)%s\n"
                 "Register it (regsvr32 Morvaleth.DLL) or name a %d-bit Morvaleth.DLL with --dll PATH.\n",
                 ToAnsi(options.dll).c_str(), static_cast<unsigned long>(manifest),
                 manifest == HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT) ? ": not a DLL of this program's bitness" : "",
                 static_cast<int>(sizeof(void*) * 8));
    return options.dllGiven || IsNotRegistered(registered) ? kNoObject : kCannotCreate;
}

void TellRequirements(const Findings& findings, bool undeterminedPasses)
{
    for (const RequirementFinding& requirement : findings.requirements) {
        if (requirement.outcome == RequirementOutcome::Unmet)
            std::fprintf(stderr, "morvaleth-report: not met: %s\n", ToAnsi(FromUtf8(requirement.words)).c_str());
        else if (requirement.outcome == RequirementOutcome::Undetermined)
            std::fprintf(stderr, "morvaleth-report: undetermined (counted as %s): %s\n",
                         undeterminedPasses ? "met" : "unmet", ToAnsi(FromUtf8(requirement.words)).c_str());
    }
    const Summary& summary = findings.summary;
    if (summary.requirements == 0)
        return;
    std::fprintf(stderr, "morvaleth-report: %d of %d requirements met", summary.met, summary.requirements);
    if (summary.requirementsUndetermined)
        std::fprintf(stderr, ", %d undetermined", summary.requirementsUndetermined);
    std::fprintf(stderr, "\n");
}

int ExitStatus(const Findings& findings, bool undeterminedPasses)
{
    for (const CheckFinding& check : findings.checks)
        if (check.result != S_OK)
            return kCallFailed;
    for (const RequirementFinding& requirement : findings.requirements)
        if (CountsUnmet(requirement, undeterminedPasses))
            return kRequirementUnmet;
    return kAllAnswered;
}

std::string Rendered(const Options& options, const Findings& findings, const std::vector<Answer>& answers)
{
    switch (options.format) {
    case Format::Table: return FormatTable(findings, options.explain);
    case Format::Json:
        return FormatJson(answers, options.requirements.empty()
                                       ? std::string()
                                       : UnmetJson(findings.requirements, findings.checks, options.undeterminedPasses));
    case Format::Evidence: return FormatEvidence(findings);
    case Format::Junit: return FormatJunit(findings);
    case Format::Html: return FormatHtml(findings);
    case Format::Line: return FormatLine(findings);
    }
    return std::string();
}

int Report(const Options& options, OutputFile* out)
{
    ActivatedObject validate;
    Findings findings;
    int status = Activate(options, validate, findings.throughManifest);
    if (status != kAllAnswered)
        return status;
    findings.time = UtcTimeNow();
    std::vector<Answer> answers = options.late ? CallLateBound(static_cast<IDispatch*>(validate.Object()))
                                               : CallEarlyBound(static_cast<IValidate*>(validate.Object()));
    // The reasons are this program's own reading, made right after the component's.
    bool explain = options.explain || FormatExplains(options.format) || !options.requirements.empty();
    findings.checks = CombineFindings(answers, explain ? ExplainAll() : std::vector<CheckOutcome>());
    findings.requirements = JudgeRequirements(options.requirements, findings.checks);
    findings.summary = Summarise(findings.checks, findings.requirements, ExitStatus(findings, options.undeterminedPasses));
    findings.toolVersion = kToolVersion;
    findings.toolBits = static_cast<int>(sizeof(void*) * 8);
    findings.dll = ToUtf8(validate.Module());
    findings.lateBound = options.late;
    if (FormatExplains(options.format))
        findings.host = ReadHostRecord();

    std::string text = Rendered(options, findings, answers);
    if (out) {
        std::string error;
        if (!out->Commit(text, error)) {
            std::fprintf(stderr, "morvaleth-report: cannot write \"%s\": %s\n", ToAnsi(options.out).c_str(),
                         error.c_str());
            return kUsage;
        }
        std::fprintf(stderr, "morvaleth-report: wrote %s to %s\n", FormatName(options.format),
                     ToAnsi(options.out).c_str());
    } else {
        // The console shows the ANSI code page; the other formats declare UTF-8 and are UTF-8.
        if (options.format == Format::Table)
            text = ToAnsi(FromUtf8(text));
        // The table and the JSON object keep the line ends they always had on standard output;
        // the other formats are the same bytes as their --out file.
        bool lineEnds = options.format == Format::Table || options.format == Format::Json;
        if (!WriteStandardOutput(lineEnds ? WithCrLf(text) : text)) {
            std::fprintf(stderr, "morvaleth-report: standard output cannot be written (error %lu)\n",
                         static_cast<unsigned long>(GetLastError()));
            return kUsage;
        }
    }
    TellRequirements(findings, options.undeterminedPasses);
    return findings.summary.exitStatus;
}

// "--name VALUE" or "--name=VALUE"; advances `i` past a separate value.
bool OptionValue(int argc, char** argv, int& i, const char* name, std::string& value)
{
    size_t length = std::strlen(name);
    if (std::strncmp(argv[i], name, length) != 0)
        return false;
    if (argv[i][length] == '=') {
        value = argv[i] + length + 1;
        return true;
    }
    if (argv[i][length] != '\0' || i + 1 >= argc)
        return false;
    value = argv[++i];
    return true;
}

bool SetFormat(Options& options, Format format)
{
    if (options.formatGiven && options.format != format) {
        std::fprintf(stderr, "morvaleth-report: two formats asked for (%s and %s): give one\n", FormatName(options.format),
                     FormatName(format));
        return false;
    }
    options.format = format;
    options.formatGiven = true;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    bool exportRegistration = false;
    // Wide: the report must find and load its DLL from a folder named outside the ANSI code page.
    std::vector<std::wstring> wideArguments = WideArguments(argc, argv);
    options.dll = BesideThisProgram(L"Morvaleth.DLL");
    const char* fileKey = nullptr;
    const char* dirProperty = nullptr;
    std::string value;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--late") == 0) {
            options.late = true;
        } else if (std::strcmp(argv[i], "--json") == 0) {
            if (!SetFormat(options, Format::Json))
                return kUsage;
        } else if (std::strcmp(argv[i], "--explain") == 0) {
            options.explain = true;
        } else if (OptionValue(argc, argv, i, "--format", value)) {
            Format format;
            if (!ParseFormat(value, format)) {
                std::fprintf(stderr, "morvaleth-report: unknown format \"%s\"; the formats are %s\n", value.c_str(),
                             FormatNames().c_str());
                return kUsage;
            }
            if (!SetFormat(options, format))
                return kUsage;
        } else if (OptionValue(argc, argv, i, "--out", value)) {
            // Wide, as --dll: a folder named outside the ANSI code page must be writable too.
            bool joined = std::strncmp(argv[i], "--out=", 6) == 0;
            options.out = joined ? wideArguments[i].substr(6) : wideArguments[i];
            options.outGiven = true;
        } else if (OptionValue(argc, argv, i, "--undetermined", value)) {
            if (value != "pass" && value != "fail") {
                std::fprintf(stderr, "morvaleth-report: --undetermined=%s: write --undetermined=pass or =fail\n",
                             value.c_str());
                return kUsage;
            }
            options.undeterminedPasses = value == "pass";
        } else if (std::strcmp(argv[i], "--export-registration") == 0) {
            exportRegistration = true;
        } else if (std::strcmp(argv[i], "--dll") == 0 && i + 1 < argc) {
            options.dll = wideArguments[++i];
            options.dllGiven = true;
        } else if (std::strcmp(argv[i], "--require") == 0 && i + 1 < argc) {
            Requirement requirement;
            std::string error;
            if (!ParseRequirement(argv[++i], requirement, error)) {
                std::fprintf(stderr, "morvaleth-report: %s\nNothing was checked. Valid names:\n%s", error.c_str(),
                             CheckNameList().c_str());
                return kUsage;
            }
            options.requirements.push_back(requirement);
        } else if (std::strcmp(argv[i], "--installer") == 0 && i + 2 < argc) {
            fileKey = argv[++i];
            dirProperty = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0 ||
                   std::strcmp(argv[i], "/?") == 0) {
            std::fputs(kHelp, stdout);
            return kAllAnswered;
        } else {
            std::fprintf(stderr, "morvaleth-report: unknown argument \"%s\"\n\n%s", argv[i], kHelp);
            return kUsage;
        }
    }
    if (exportRegistration && !options.requirements.empty()) {
        std::fprintf(stderr, "morvaleth-report: --require checks answers; --export-registration gives none\n");
        return kUsage;
    }
    if (exportRegistration && (options.formatGiven || options.explain || options.outGiven)) {
        std::fprintf(stderr, "morvaleth-report: --format, --explain and --out shape the report of the answers; "
                             "--export-registration prints a .reg file\n");
        return kUsage;
    }
    if (options.explain && options.format == Format::Json) {
        std::fprintf(stderr, "morvaleth-report: --json keeps its shape and has no reasons: use --format evidence\n");
        return kUsage;
    }
    // Known to be writable before anything is checked; written whole at the end, or not at all.
    OutputFile out;
    if (options.outGiven) {
        std::string error;
        if (!out.Open(options.out, error)) {
            std::fprintf(stderr, "morvaleth-report: cannot write --out \"%s\": %s\nNothing was checked.\n",
                         ToAnsi(options.out).c_str(), error.c_str());
            return kUsage;
        }
    }

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::fprintf(stderr, "morvaleth-report: COM cannot start\n");
        return kCannotCreate;
    }
    int status;
    if (exportRegistration) {
        long result = fileKey ? ExportRegistrationForInstaller(options.dll, fileKey, dirProperty, stdout)
                              : ExportRegistration(options.dll, stdout);
        if (FAILED(result))
            std::fprintf(stderr, "morvaleth-report: DllRegisterServer of %s failed (0x%08lX)\n", ToAnsi(options.dll).c_str(),
                         static_cast<unsigned long>(result));
        status = FAILED(result) ? kExportFailed : kAllAnswered;
    } else {
        status = Report(options, options.outGiven ? &out : nullptr);
    }
    CoUninitialize();
    return status;
}
