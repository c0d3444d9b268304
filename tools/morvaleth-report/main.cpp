// morvaleth-report: what Morvaleth.Validate answers on this machine.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Checks.h"
#include "Output.h"
#include "RegistrationExport.h"
#include "Requirements.h"
#include "common/Activation.h"
#include "common/ModulePath.h"
#include "common/Text.h"

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

const char kHelp[] =
    "Usage: morvaleth-report [--late] [--json] [--dll PATH] [--require CHECK[=VALUE]]...\n"
    "       morvaleth-report --export-registration [--dll PATH] [--installer FILEKEY DIRPROPERTY]\n"
    "\n"
    "Creates \"Morvaleth.Validate\" through COM and shows what each of its 26 checks answers\n"
    "on this machine. When the class is not registered it uses the Morvaleth.DLL beside this\n"
    "program through the DLL's own manifest, with nothing registered and nothing written.\n"
    "\n"
    "  --late                 call every check by name through IDispatch, as scripts do\n"
    "                         (default: early-bound through the IValidate interface)\n"
    "  --json                 print one JSON object: check names as keys, flags as\n"
    "                         true/false, texts as strings (default: an aligned table)\n"
    "  --dll PATH             use this Morvaleth.DLL through its manifest, registered or not\n"
    "                         (it must be of this program's bitness and keep its file name)\n"
    "  --require CHECK[=VALUE]\n"
    "                         a condition the answers must meet (repeatable): a flag check\n"
    "                         alone must be true, CHECK=0 false; a text check CHECK=TEXT must\n"
    "                         give exactly TEXT. Each unmet one is printed on standard error and\n"
    "                         listed in the JSON object as \"unmet\"\n"
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
    "check or a malformed requirement among them: nothing is checked); 2 no object: the class is\n"
    "not registered and the DLL's manifest gave none either; 3 a check failed; 4 the registered\n"
    "class could not be created, nor the DLL through its manifest; 5 the export failed;\n"
    "6 a requirement is not met.\n";

struct Options {
    bool late = false;
    bool json = false;
    bool dllGiven = false;
    std::wstring dll;
    std::vector<Requirement> requirements;
};

// The registered class first, unless a DLL was named; then the DLL's manifest. Says on standard
// error which DLL answers, or why none does.
int Activate(const Options& options, ActivatedObject& validate)
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

int Report(const Options& options)
{
    ActivatedObject validate;
    int status = Activate(options, validate);
    if (status != kAllAnswered)
        return status;
    std::vector<Answer> answers = options.late ? CallLateBound(static_cast<IDispatch*>(validate.Object()))
                                               : CallEarlyBound(static_cast<IValidate*>(validate.Object()));
    std::vector<UnmetRequirement> unmet = UnmetRequirements(options.requirements, answers);
    if (options.json)
        PrintJson(stdout, answers, options.requirements.empty() ? std::string() : UnmetJson(unmet));
    else
        PrintTable(stdout, answers);
    std::fflush(stdout);
    for (const UnmetRequirement& requirement : unmet)
        std::fprintf(stderr, "morvaleth-report: not met: %s\n", requirement.words.c_str());
    if (!options.requirements.empty())
        std::fprintf(stderr, "morvaleth-report: %zu of %zu requirements met\n",
                     options.requirements.size() - unmet.size(), options.requirements.size());
    for (const Answer& answer : answers)
        if (answer.result != S_OK)
            return kCallFailed;
    return unmet.empty() ? kAllAnswered : kRequirementUnmet;
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
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--late") == 0) {
            options.late = true;
        } else if (std::strcmp(argv[i], "--json") == 0) {
            options.json = true;
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
        status = Report(options);
    }
    CoUninitialize();
    return status;
}
