#include "ScratchRoot.h"

namespace {
const char kBenchKey[] = "Software\\MorvalethBench";
}

RedirectedClassesRoot::RedirectedClassesRoot(const char* name) : path_(std::string(kBenchKey) + "\\" + name)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &scratch_, nullptr) != ERROR_SUCCESS) {
        scratch_ = nullptr;
        return;
    }
    active_ = RegOverridePredefKey(HKEY_CLASSES_ROOT, scratch_) == ERROR_SUCCESS;
}

RedirectedClassesRoot::~RedirectedClassesRoot()
{
    if (active_)
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    if (scratch_ != nullptr)
        RegCloseKey(scratch_);
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
    RemoveBenchKeyIfEmpty();
}

void RedirectedClassesRoot::Clear()
{
    if (scratch_ != nullptr)
        RegDeleteTreeA(scratch_, nullptr);
}

long CountSubkeys(HKEY key)
{
    long total = 0;
    char name[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        DWORD length = MAX_PATH;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS)
            return -1;
        long below = CountSubkeys(child);
        RegCloseKey(child);
        if (below < 0)
            return -1;
        total += 1 + below;
    }
    return total;
}

bool KeyPresent(HKEY root, const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void RemoveBenchKeyIfEmpty()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kBenchKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD subkeys = 1;
    DWORD values = 1;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    if (subkeys == 0 && values == 0)
        RegDeleteKeyA(HKEY_CURRENT_USER, kBenchKey);
}
