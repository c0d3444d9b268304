// morvaleth-report: what Morvaleth.Validate answers on this machine.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Checks.h"
#include "Output.h"
#include "RegistrationExport.h"

namespace {

enum ExitStatus {
    kAllAnswered = 0,
    kUsage = 1,
    kNotRegistered = 2,
    kCallFailed = 3,
    kCannotCreate = 4,
    kExportFailed = 5,
};

const char kHelp[] =
    "Usage: morvaleth-report [--late] [--json]\n"
    "       morvaleth-report --export-registration [--dll PATH] [--installer FILEKEY DIRPROPERTY]\n"
    "\n"
    "Creates \"Morvaleth.Validate\" through COM and shows what each of its 26 checks answers\n"
    "on this machine.\n"
    "\n"
    "  --late                 call every check by name through IDispatch, as scripts do\n"
    "                         (default: early-bound through the IValidate interface)\n"
    "  --json                 print one JSON object: check names as keys, flags as\n"
    "                         true/false, texts as strings (default: an aligned table)\n"
    "  --export-registration  print, as a REGEDIT4 .reg file, exactly what\n"
    "                         DllRegisterServer writes (it is run with HKEY_CLASSES_ROOT\n"
    "                         redirected to a scratch key, which is removed afterwards)\n"
    "  --dll PATH             the Morvaleth.DLL to export (default: the one beside this program)\n"
    "  --installer FILEKEY DIRPROPERTY\n"
    "                         write values as Windows Installer formatted text for a Registry\n"
    "                         table: the DLL's path becomes [!FILEKEY] or [#FILEKEY], its\n"
    "                         folder [DIRPROPERTY]\n"
    "  --help                 show this text\n"
    "\n"
    "Exit status: 0 every check answered; 1 bad arguments; 2 the class is not registered;\n"
    "3 a check failed; 4 the object could not be created; 5 the export failed.\n";

std::string DllBesideProgram()
{
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, length);
    return full.substr(0, full.find_last_of("\\/") + 1) + "Morvaleth.DLL";
}

int Report(bool late, bool json)
{
    CLSID clsid;
    HRESULT result = CLSIDFromProgID(L"Morvaleth.Validate", &clsid);
    IUnknown* object = nullptr;
    if (SUCCEEDED(result))
        result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, late ? IID_IDispatch : IID_IValidate,
                                  reinterpret_cast<void**>(&object));
    if (result == CO_E_CLASSSTRING || result == REGDB_E_CLASSNOTREG) {
        std::fprintf(stderr,
                     "morvaleth-report: the class \"Morvaleth.Validate\" is not registered (0x%08lX).\n"
                     "Register it first: regsvr32 Morvaleth.DLL\n",
                     static_cast<unsigned long>(result));
        return kNotRegistered;
    }
    if (FAILED(result)) {
        std::fprintf(stderr, "morvaleth-report: cannot create \"Morvaleth.Validate\" (0x%08lX).\n",
                     static_cast<unsigned long>(result));
        return kCannotCreate;
    }
    std::vector<Answer> answers = late ? CallLateBound(static_cast<IDispatch*>(object))
                                       : CallEarlyBound(static_cast<IValidate*>(object));
    object->Release();
    if (json)
        PrintJson(stdout, answers);
    else
        PrintTable(stdout, answers);
    for (const Answer& answer : answers)
        if (answer.result != S_OK)
            return kCallFailed;
    return kAllAnswered;
}

}  // namespace

int main(int argc, char** argv)
{
    bool late = false, json = false, exportRegistration = false;
    std::string dll = DllBesideProgram();
    const char* fileKey = nullptr;
    const char* dirProperty = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--late") == 0) {
            late = true;
        } else if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (std::strcmp(argv[i], "--export-registration") == 0) {
            exportRegistration = true;
        } else if (std::strcmp(argv[i], "--dll") == 0 && i + 1 < argc) {
            dll = argv[++i];
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

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::fprintf(stderr, "morvaleth-report: COM cannot start\n");
        return kCannotCreate;
    }
    int status;
    if (exportRegistration) {
        long result = fileKey ? ExportRegistrationForInstaller(dll, fileKey, dirProperty, stdout)
                              : ExportRegistration(dll, stdout);
        if (FAILED(result))
            std::fprintf(stderr, "morvaleth-report: DllRegisterServer of %s failed (0x%08lX)\n", dll.c_str(),
                         static_cast<unsigned long>(result));
        status = FAILED(result) ? kExportFailed : kAllAnswered;
    } else {
        status = Report(late, json);
    }
    CoUninitialize();
    return status;
}
