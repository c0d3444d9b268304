#include "ModuleLoad.h"

#include <Morvaleth.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>

#include "Report.h"
#include "common/ModulePath.h"
#include "Stopwatch.h"

namespace {
typedef HRESULT(STDAPICALLTYPE* GetClassObject)(REFCLSID, REFIID, void**);

const char kChildTag[] = "cold-start";
}

// Runs the child and returns what it wrote to its standard output; false when it did not end.
bool RunChild(const std::wstring& commandLine, std::string& output, DWORD& exitCode)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    std::wstring line = commandLine;
    BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return false;
    }
    char buffer[512];
    DWORD read = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0)
        output.append(buffer, read);
    CloseHandle(readEnd);
    bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
    if (!ended)
        TerminateProcess(process.hProcess, 1);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}

bool MeasureModuleSize(HMODULE library, ModuleSize& size, std::string& error)
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(library, path, MAX_PATH);
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    MODULEINFO information = {};
    if (length == 0 || length >= MAX_PATH || !GetFileAttributesExW(path, GetFileExInfoStandard, &attributes) ||
        !GetModuleInformation(GetCurrentProcess(), library, &information, sizeof information)) {
        error = "cannot read the library's path, file size or image size";
        return false;
    }
    size.path = path;
    size.fileBytes = (static_cast<ULONGLONG>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    size.imageBytes = information.SizeOfImage;
    return true;
}

bool MeasureColdStart(const std::wstring& library, int runs, ColdStartFigures& figures, std::string& error)
{
    std::wstring commandLine = L"\"" + ModulePath(nullptr) + L"\" --cold-start-child \"" + library + L"\"";
    for (int i = 0; i < runs; ++i) {
        std::string output;
        DWORD exitCode = 1;
        if (!RunChild(commandLine, output, exitCode) || exitCode != 0) {
            error = "the cold-start child failed (exit " + std::to_string(exitCode) + "): " + output;
            return false;
        }
        double load = 0, object = 0, names = 0, invoke = 0;
        char tag[16] = {};
        if (std::sscanf(output.c_str(), "%15s %lf %lf %lf %lf", tag, &load, &object, &names, &invoke) != 5 ||
            std::string(tag) != kChildTag) {
            error = "the cold-start child answered: " + output;
            return false;
        }
        figures.loadMs.push_back(load / 1e6);
        figures.objectMs.push_back((object - load) / 1e6);
        figures.namesMs.push_back((names - object) / 1e6);
        figures.invokeMs.push_back((invoke - names) / 1e6);
        figures.totalMs.push_back(invoke / 1e6);
    }
    return true;
}

void PrintColdStart(const ModuleSize& size, const ColdStartFigures& f)
{
    std::printf("library: %s\n", ToAnsi(size.path).c_str());
    std::printf("file size: %llu bytes; image size in memory (SizeOfImage): %lu bytes\n\n",
                static_cast<unsigned long long>(size.fileBytes), static_cast<unsigned long>(size.imageBytes));
    std::printf("fresh child process per run, COM started before the clock (ms):\n");
    PrintTimingHeader(44);
    auto line = [](const char* what, const std::vector<double>& ms) { PrintTimingRow(44, what, ms); };
    line("LoadLibrary", f.loadMs);
    line("DllGetClassObject + CreateInstance", f.objectMs);
    line("first GetIDsOfNames (loads the type library)", f.namesMs);
    line("first Invoke (GetVersion)", f.invokeMs);
    line("total", f.totalMs);
    std::printf("runs: %zu; totals:", f.totalMs.size());
    for (double ms : f.totalMs)
        std::printf(" %.2f", ms);
    std::printf("\n");
}

int RunColdStartChild(const wchar_t* library)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 2;
    int status = 3;
    Stopwatch watch;
    HMODULE dll = LoadLibraryW(library);
    double loaded = watch.ElapsedNs();
    GetClassObject getClassObject =
        dll ? reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")))
            : nullptr;
    IClassFactory* factory = nullptr;
    IDispatch* object = nullptr;
    if (getClassObject != nullptr &&
        SUCCEEDED(getClassObject(CLSID_Validate, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
        factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object));
        factory->Release();
    }
    double created = watch.ElapsedNs();
    if (object != nullptr) {
        LPOLESTR name = const_cast<LPOLESTR>(L"GetVersion");
        DISPID id = DISPID_UNKNOWN;
        HRESULT named = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        double resolved = watch.ElapsedNs();
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        VARIANT result;
        VariantInit(&result);
        HRESULT called = SUCCEEDED(named) ? object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                                           &result, nullptr, nullptr)
                                          : named;
        double invoked = watch.ElapsedNs();
        if (called == S_OK && result.vt == VT_BSTR) {
            std::printf("%s %.0f %.0f %.0f %.0f\n", kChildTag, loaded, created, resolved, invoked);
            status = 0;
        } else {
            std::printf("late-bound GetVersion answered %s\n", Hex(called).c_str());
        }
        VariantClear(&result);
        object->Release();
    } else {
        std::printf("cannot load the library or create the object\n");
    }
    if (dll != nullptr)
        FreeLibrary(dll);
    CoUninitialize();
    return status;
}
