#include "RegistrationExport.h"

#include <windows.h>

#include <vector>

#include "common/ModulePath.h"
#include "common/Text.h"

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

// Where the exported DLL lies, and how an installer names those places.
struct InstallerPaths {
    std::string fileKey, dirProperty;
    std::string longPath, shortPath, folder, shortFolder;
};

bool Contains(const std::string& text, const std::string& part)
{
    if (part.empty() || text.size() < part.size())
        return false;
    for (size_t i = 0; i + part.size() <= text.size(); ++i)
        if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str() + i, static_cast<int>(part.size()),
                           part.c_str(), static_cast<int>(part.size())) == CSTR_EQUAL)
            return true;
    return false;
}

bool SamePath(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && Contains(a, b);
}

// A registry string as Windows Installer formatted text; false when it names the DLL's folder in a
// way the installer cannot rebuild.
bool FormattedText(const InstallerPaths& paths, const std::string& text, std::string& formatted)
{
    if (SamePath(text, paths.longPath)) {
        formatted = "[#" + paths.fileKey + "]";
    } else if (SamePath(text, paths.shortPath)) {
        formatted = "[!" + paths.fileKey + "]";
    } else if (SamePath(text, paths.folder)) {
        formatted = "[" + paths.dirProperty + "]";
    } else if (Contains(text, paths.folder) || Contains(text, paths.shortFolder)) {
        return false;
    } else {
        formatted.clear();
        for (char c : text) {
            if (c == '[' || c == ']')
                formatted += std::string("[\\") + c + "]";
            else
                formatted += c;
        }
    }
    return true;
}

bool PrintValue(std::string& out, const InstallerPaths* paths, const std::string& name, DWORD type,
                const BYTE* data, DWORD size)
{
    std::string shownName = name.empty() ? "@" : RegString(name);
    char line[64];
    if (type == REG_SZ) {
        std::string text(reinterpret_cast<const char*>(data), size);
        text = text.substr(0, text.find('\0'));
        std::string formatted;
        if (paths && !FormattedText(*paths, text, formatted))
            return false;
        out += shownName + "=" + RegString(paths ? formatted : text) + "\n";
    } else if (type == REG_DWORD && size == 4) {
        std::snprintf(line, sizeof line, "=dword:%08lx\n", *reinterpret_cast<const unsigned long*>(data));
        out += shownName + line;
    } else if (type == REG_BINARY) {
        out += shownName + "=hex:" + HexBytes(data, size) + "\n";
    } else {
        std::snprintf(line, sizeof line, "=hex(%lx):", static_cast<unsigned long>(type));
        out += shownName + line + HexBytes(data, size) + "\n";
    }
    return true;
}

// Keys in the order the registry gives them, parents before children.
bool PrintTree(std::string& out, const InstallerPaths* paths, HKEY key, const std::string& path)
{
    DWORD values = 0, subkeys = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    if (!path.empty()) {
        out += "\n[HKEY_CLASSES_ROOT\\" + path + "]\n";
        std::vector<BYTE> data(65536);
        for (DWORD i = 0; i < values; ++i) {
            char name[16384];
            DWORD nameLength = sizeof name, size = static_cast<DWORD>(data.size()), type = 0;
            if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data.data(), &size) == ERROR_SUCCESS &&
                !PrintValue(out, paths, name, type, data.data(), size))
                return false;
        }
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            bool printed = PrintTree(out, paths, child, path.empty() ? std::string(name) : path + "\\" + name);
            RegCloseKey(child);
            if (!printed)
                return false;
        }
    }
    return true;
}

class Library {
public:
    explicit Library(const std::wstring& path) : handle(LoadLibraryW(path.c_str())) {}
    ~Library()
    {
        if (handle)
            FreeLibrary(handle);
    }
    HMODULE handle;
};

}  // namespace

namespace {

long Export(const std::wstring& dllPath, InstallerPaths* paths, std::FILE* out)
{
    Library dll(dllPath);
    if (!dll.handle)
        return HRESULT_FROM_WIN32(GetLastError());
    typedef HRESULT(STDAPICALLTYPE * RegisterFunction)();
    RegisterFunction registerServer =
        reinterpret_cast<RegisterFunction>(reinterpret_cast<void*>(GetProcAddress(dll.handle, "DllRegisterServer")));
    if (!registerServer)
        return HRESULT_FROM_WIN32(GetLastError());
    if (paths) {
        // The forms in which the registration names the DLL: those it reads itself.
        // Registry values are read narrow: the forms are compared in the ANSI code page.
        std::wstring path = ModulePath(dll.handle);
        wchar_t shortPath[MAX_PATH] = {};
        DWORD length = path.empty() ? 0 : GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
        // Equal forms would leave it open which of them a value means.
        if (length == 0 || length >= MAX_PATH || lstrcmpiW(path.c_str(), shortPath) == 0)
            return E_UNEXPECTED;
        paths->longPath = ToAnsi(path);
        paths->shortPath = ToAnsi(shortPath);
        paths->folder = paths->longPath.substr(0, paths->longPath.find_last_of('\\') + 1);
        paths->shortFolder = paths->shortPath.substr(0, paths->shortPath.find_last_of('\\') + 1);
    }

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
    std::string text = "REGEDIT4\n";
    if (SUCCEEDED(result) && !PrintTree(text, paths, scratch, std::string()))
        result = E_UNEXPECTED;
    if (SUCCEEDED(result))
        std::fputs(text.c_str(), out);
    RegCloseKey(scratch);
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
    RegDeleteKeyA(HKEY_CURRENT_USER, kScratch);
    return result;
}

}  // namespace

long ExportRegistration(const std::wstring& dllPath, std::FILE* out)
{
    return Export(dllPath, nullptr, out);
}

long ExportRegistrationForInstaller(const std::wstring& dllPath, const std::string& fileKey,
                                    const std::string& dirProperty, std::FILE* out)
{
    InstallerPaths paths{fileKey, dirProperty, {}, {}, {}, {}};
    return Export(dllPath, &paths, out);
}
