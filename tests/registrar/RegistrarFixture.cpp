#include "RegistrarFixture.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "registrar/ScriptParser.h"
#include "support/ScratchKey.h"

namespace {
const char kScratchBase[] = "Software\\MorvalethTests\\Registrar";
const HKEY kRootOrder[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                           HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA, HKEY_CURRENT_CONFIG};
const char* const kRootScratchNames[] = {"Classes", "User", "Machine", "Users",
                                         "Performance", "Dynamic", "Config"};

void Collect(HKEY key, const std::string& path, std::set<std::string>& lines)
{
    lines.insert(path);
    char name[16384];
    BYTE data[8192];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof name, type = 0, size = sizeof data;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        std::string line = path + "|" + (name[0] ? name : "@") + "=";
        if (type == REG_SZ) {
            line += "sz:" + std::string(reinterpret_cast<char*>(data), size ? size - 1 : 0);
        } else if (type == REG_DWORD) {
            line += "dword:" + std::to_string(*reinterpret_cast<DWORD*>(data));
        } else {
            line += "bin:";
            for (DWORD i = 0; i < size; ++i) {
                char hex[3];
                std::snprintf(hex, sizeof hex, "%02x", data[i]);
                line += hex;
            }
        }
        lines.insert(line);
    }
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        std::string child = path.empty() ? name : path + "\\" + name;
        HKEY sub = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) {
            lines.insert(child + " (unreadable)");
            continue;
        }
        Collect(sub, child, lines);
        RegCloseKey(sub);
    }
}
}

const wchar_t kTestModule[] = L"C:\\Program Files\\Morvaleth\\Morvaleth.DLL";

RedirectedRoots::RedirectedRoots(bool allRoots)
{
    // Every scratch key is made before any root is redirected: one of them is HKCU.
    int count = allRoots ? kRoots : 1;
    for (int i = 0; i < count; ++i) {
        std::string path = std::string(kScratchBase) + "\\" + kRootScratchNames[i];
        RemoveKeyTree(HKEY_CURRENT_USER, path);
        RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &scratch_[i], nullptr);
    }
    for (int i = 0; i < count; ++i) {
        if (scratch_[i] != nullptr && RegOverridePredefKey(kRootOrder[i], scratch_[i]) == ERROR_SUCCESS) {
            roots_[i] = kRootOrder[i];
            // Wine takes an override of HKEY_PERFORMANCE_DATA but still creates no key there.
            HKEY probe = nullptr;
            if (RegCreateKeyExA(roots_[i], "Probe", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                nullptr, &probe, nullptr) == ERROR_SUCCESS) {
                RegCloseKey(probe);
                if (RegDeleteKeyA(scratch_[i], "Probe") == ERROR_SUCCESS)
                    continue;
            }
            RegOverridePredefKey(roots_[i], nullptr);
        }
        if (scratch_[i] != nullptr)
            RegCloseKey(scratch_[i]);
        scratch_[i] = nullptr;
        roots_[i] = nullptr;
    }
}

RedirectedRoots::~RedirectedRoots()
{
    for (int i = 0; i < kRoots; ++i) {
        if (scratch_[i] == nullptr)
            continue;
        RegOverridePredefKey(roots_[i], nullptr);
        RegCloseKey(scratch_[i]);
    }
    RemoveKeyTree(HKEY_CURRENT_USER, kScratchBase);
}

HKEY RedirectedRoots::Scratch(HKEY root) const
{
    for (int i = 0; i < kRoots; ++i)
        if (roots_[i] == root)
            return scratch_[i];
    return nullptr;
}

std::set<std::string> Tree(HKEY key)
{
    std::set<std::string> lines;
    Collect(key, "", lines);
    lines.erase("");
    return lines;
}

void Populate(HKEY key, const std::set<std::string>& lines)
{
    for (const std::string& line : lines) {
        size_t bar = line.find('|');
        if (bar == std::string::npos) {
            MakeKey(key, line);
            continue;
        }
        size_t equals = line.find('=', bar);
        size_t colon = line.find(':', equals);
        std::string path = line.substr(0, bar);
        std::string name = line.substr(bar + 1, equals - bar - 1);
        std::string type = line.substr(equals + 1, colon - equals - 1);
        std::string data = line.substr(colon + 1);
        const char* valueName = name == "@" ? nullptr : name.c_str();
        if (type == "sz")
            SetStringValue(key, path, valueName, data);
        else if (type == "dword")
            SetDwordValue(key, path, valueName, std::stoul(data));
        else
            SetBinaryValue(key, path, valueName, data.data(), static_cast<DWORD>(data.size()));
    }
}

void MakeKey(HKEY parent, const std::string& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
}

HKEY MakeBlockedKey(HKEY parent, const std::string& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    SECURITY_DESCRIPTOR descriptor;
    ACL empty;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, &empty, FALSE);
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
    return key;
}

void Unblock(HKEY blocked)
{
    if (blocked == nullptr)
        return;
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);  // a null DACL grants all
    RegSetKeySecurity(blocked, DACL_SECURITY_INFORMATION, &descriptor);
    RegCloseKey(blocked);
}

HRESULT ApplyScript(const std::string& script, BOOL doRegister, const ScriptVariablePair* extra)
{
    ScriptVariables variables;
    variables.Add(L"Module", kTestModule);
    for (; extra != nullptr && extra->name != nullptr; ++extra)
        variables.Add(extra->name, extra->value);
    ScriptParser parser;
    return parser.Apply(script.c_str(), variables, doRegister);
}

#include "support/Paths.h"

namespace {
std::wstring LongPath(const std::wstring& path)
{
    return path.size() < MAX_PATH - 12 ? path : L"\\\\?\\" + path;
}
}

namespace {
WideFolders Widened(const std::vector<std::string>& names)
{
    WideFolders wide;
    for (const std::string& name : names)
        wide.names.push_back(Widen(name));
    return wide;
}
}

ModuleCopy::ModuleCopy(const std::vector<std::string>& folders) : ModuleCopy(Widened(folders)) {}

ModuleCopy::ModuleCopy(const WideFolders& wide)
{
    const std::vector<std::wstring>& folders = wide.names;
    WCHAR temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    std::wstring folder(temp, length);
    folder += L"MorvalethRegistrar";
    for (size_t level = 0; level <= folders.size(); ++level) {
        if (level > 0)
            folder += L"\\" + folders[level - 1];
        if (!CreateDirectoryW(LongPath(folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return;
        made_.push_back(folder);
    }
    WCHAR self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    path_ = folder + L"\\R.exe";
    if (!CopyFileW(self, LongPath(path_).c_str(), FALSE))
        return;
    module_ = LoadLibraryExW(LongPath(path_).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
}

ModuleCopy::~ModuleCopy()
{
    if (module_ != nullptr)
        FreeLibrary(module_);
    DeleteFileW(LongPath(path_).c_str());
    for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder)
        RemoveDirectoryW(LongPath(*folder).c_str());
}

std::wstring GetWideValue(HKEY root, const std::string& path, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, Widen(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::wstring();
    WCHAR buffer[2048] = {};
    DWORD size = sizeof buffer - sizeof(WCHAR);
    LONG result = RegQueryValueExW(key, name ? Widen(name).c_str() : nullptr, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::wstring(buffer) : std::wstring();
}
