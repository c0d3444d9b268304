#include "RegistrationExport.h"

#include <windows.h>

#include <vector>

namespace {

const char kScratch[] = "Software\\Morvaleth\\RegistrationExport";

std::string RegString(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string HexBytes(const BYTE* data, DWORD size)
{
    std::string hex;
    char pair[4];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, i ? ",%02x" : "%02x", data[i]);
        hex += pair;
    }
    return hex;
}

void PrintValue(std::FILE* out, const std::string& name, DWORD type, const BYTE* data, DWORD size)
{
    std::string shownName = name.empty() ? "@" : RegString(name);
    if (type == REG_SZ) {
        std::string text(reinterpret_cast<const char*>(data), size);
        text = text.substr(0, text.find('\0'));
        std::fprintf(out, "%s=%s\n", shownName.c_str(), RegString(text).c_str());
    } else if (type == REG_DWORD && size == 4) {
        std::fprintf(out, "%s=dword:%08lx\n", shownName.c_str(), *reinterpret_cast<const unsigned long*>(data));
    } else if (type == REG_BINARY) {
        std::fprintf(out, "%s=hex:%s\n", shownName.c_str(), HexBytes(data, size).c_str());
    } else {
        std::fprintf(out, "%s=hex(%lx):%s\n", shownName.c_str(), static_cast<unsigned long>(type), HexBytes(data, size).c_str());
    }
}

// Keys in the order the registry gives them, parents before children.
void PrintTree(std::FILE* out, HKEY key, const std::string& path)
{
    DWORD values = 0, subkeys = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    if (!path.empty()) {
        std::fprintf(out, "\n[HKEY_CLASSES_ROOT\\%s]\n", path.c_str());
        std::vector<BYTE> data(65536);
        for (DWORD i = 0; i < values; ++i) {
            char name[16384];
            DWORD nameLength = sizeof name, size = static_cast<DWORD>(data.size()), type = 0;
            if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data.data(), &size) == ERROR_SUCCESS)
                PrintValue(out, name, type, data.data(), size);
        }
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            PrintTree(out, child, path.empty() ? std::string(name) : path + "\\" + name);
            RegCloseKey(child);
        }
    }
}

class Library {
public:
    explicit Library(const std::string& path) : handle(LoadLibraryA(path.c_str())) {}
    ~Library()
    {
        if (handle)
            FreeLibrary(handle);
    }
    HMODULE handle;
};

}  // namespace

long ExportRegistration(const std::string& dllPath, std::FILE* out)
{
    Library dll(dllPath);
    if (!dll.handle)
        return HRESULT_FROM_WIN32(GetLastError());
    typedef HRESULT(STDAPICALLTYPE * RegisterFunction)();
    RegisterFunction registerServer =
        reinterpret_cast<RegisterFunction>(reinterpret_cast<void*>(GetProcAddress(dll.handle, "DllRegisterServer")));
    if (!registerServer)
        return HRESULT_FROM_WIN32(GetLastError());

    RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    HKEY scratch = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &scratch, nullptr);
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);
    HRESULT result = HRESULT_FROM_WIN32(RegOverridePredefKey(HKEY_CLASSES_ROOT, scratch));
    if (SUCCEEDED(result)) {
        result = registerServer();
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }
    if (SUCCEEDED(result)) {
        std::fprintf(out, "REGEDIT4\n");
        PrintTree(out, scratch, std::string());
    }
    RegCloseKey(scratch);
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    RegDeleteKeyA(HKEY_CURRENT_USER, kScratch);
    return result;
}
