#include "ScratchRoots.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {

struct Root {
    HKEY key;
    const char* shortName;
    const char* longName;
};

const Root kRootTable[] = {
    {HKEY_CLASSES_ROOT, "HKCR", "HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, "HKCU", "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKLM", "HKEY_LOCAL_MACHINE"},
    {HKEY_USERS, "HKU", "HKEY_USERS"},
    {HKEY_PERFORMANCE_DATA, "HKPD", "HKEY_PERFORMANCE_DATA"},
    {HKEY_DYN_DATA, "HKDD", "HKEY_DYN_DATA"},
    {HKEY_CURRENT_CONFIG, "HKCC", "HKEY_CURRENT_CONFIG"},
};

std::string Hex(const BYTE* data, DWORD size)
{
    std::string text;
    char pair[3];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", data[i]);
        text += pair;
    }
    return text;
}

// A root accepts the redirection only if a key made through it lands in the scratch key:
// Wine takes an override of HKEY_PERFORMANCE_DATA and still creates nothing there.
bool Redirect(HKEY root, HKEY scratch)
{
    if (RegOverridePredefKey(root, scratch) != ERROR_SUCCESS)
        return false;
    HKEY probe = nullptr;
    bool landed = false;
    if (RegCreateKeyExA(root, "Probe", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &probe, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(probe);
        landed = RegDeleteKeyA(scratch, "Probe") == ERROR_SUCCESS;
    }
    if (!landed)
        RegOverridePredefKey(root, nullptr);
    return landed;
}

}  // namespace

bool RegistryTree::NamesWithin(const RegistryTree& other) const
{
    for (const std::string& key : keys)
        if (!other.keys.count(key))
            return false;
    for (const std::string& key : unreadable)
        if (!other.unreadable.count(key))
            return false;
    for (const auto& value : values)
        if (!other.values.count(value.first))
            return false;
    return true;
}

bool RegistryTree::Within(const RegistryTree& other) const
{
    if (!NamesWithin(other))
        return false;
    for (const auto& value : values)
        if (other.values.at(value.first) != value.second)
            return false;
    return true;
}

std::string RegistryTree::Describe() const
{
    std::string text;
    for (const std::string& key : keys)
        text += "  " + key + "\n";
    for (const std::string& key : unreadable)
        text += "  " + key + " (unreadable)\n";
    for (const auto& value : values) {
        std::string name = value.first;
        name.replace(name.find('\x01'), 1, " | ");
        text += "  " + name + " = " + value.second + "\n";
    }
    return text;
}

std::string Difference(const RegistryTree& tree, const RegistryTree& other)
{
    RegistryTree extra;
    for (const std::string& key : tree.keys)
        if (!other.keys.count(key))
            extra.keys.insert(key);
    for (const std::string& key : tree.unreadable)
        if (!other.unreadable.count(key))
            extra.unreadable.insert(key);
    for (const auto& value : tree.values) {
        auto found = other.values.find(value.first);
        if (found == other.values.end() || found->second != value.second)
            extra.values.insert(value);
    }
    return extra.Describe();
}

void ReadTree(HKEY key, const std::string& path, RegistryTree& tree)
{
    // The counts first: most keys of the tests hold little, and every call is a server round trip.
    DWORD subkeys = 0, values = 0, longestName = 0, longestData = 0, longestSubkey = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::vector<char> name(std::max<DWORD>(longestName, longestSubkey) + 2);
    std::vector<BYTE> data(longestData + 1);
    for (DWORD index = 0; index < values; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size()), type = 0, size = static_cast<DWORD>(data.size());
        if (RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS)
            break;
        tree.values[path + '\x01' + std::string(name.data(), nameLength)] =
            std::to_string(type) + ":" + Hex(data.data(), size);
    }
    std::vector<std::string> children;
    for (DWORD index = 0; index < subkeys; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (RegEnumKeyExA(key, index, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        children.emplace_back(name.data(), nameLength);
    }
    for (const std::string& child : children) {
        std::string childPath = path + "\\" + child;
        HKEY sub = nullptr;
        if (RegOpenKeyExA(key, child.c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS) {
            tree.unreadable.insert(childPath);
            continue;
        }
        tree.keys.insert(childPath);
        ReadTree(sub, childPath, tree);
        RegCloseKey(sub);
    }
}

ScratchRoots::ScratchRoots(const std::string& suite) : base_("Software\\MorvalethTests\\Reliability\\" + suite)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, base_.c_str());
    // Every scratch key is made before any root is redirected: one of the roots is HKCU.
    for (int i = 0; i < kRoots; ++i) {
        std::string path = base_ + "\\" + kRootTable[i].shortName;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &scratch_[i], nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create the scratch key " + path);
    }
    for (int i = 0; i < kRoots; ++i)
        redirected_[i] = Redirect(kRootTable[i].key, scratch_[i]);
}

ScratchRoots::~ScratchRoots()
{
    for (int i = 0; i < kRoots; ++i) {
        if (redirected_[i])
            RegOverridePredefKey(kRootTable[i].key, nullptr);
        RegCloseKey(scratch_[i]);
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, base_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, base_.c_str());
}

HKEY ScratchRoots::Scratch(HKEY root) const
{
    for (int i = 0; i < kRoots; ++i)
        if (kRootTable[i].key == root)
            return redirected_[i] ? scratch_[i] : nullptr;
    return nullptr;
}

std::vector<std::string> ScratchRoots::RootNames() const
{
    std::vector<std::string> names;
    for (int i = 0; i < kRoots; ++i) {
        if (!redirected_[i])
            continue;
        names.push_back(kRootTable[i].shortName);
        names.push_back(kRootTable[i].longName);
    }
    return names;
}

bool ScratchRoots::Empty() const
{
    for (int i = 0; i < kRoots; ++i) {
        DWORD subkeys = 1, values = 1;
        if (RegQueryInfoKeyA(scratch_[i], nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            subkeys != 0 || values != 0)
            return false;
    }
    return true;
}

void ScratchRoots::Clear()
{
    for (HKEY scratch : scratch_) {
        DWORD subkeys = 1, values = 1;
        RegQueryInfoKeyA(scratch, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr);
        if (subkeys != 0 || values != 0)
            RegDeleteTreeA(scratch, nullptr);  // the key's own values and subkeys; the key stays
    }
}

RegistryTree ScratchRoots::Snapshot() const
{
    RegistryTree tree;
    for (int i = 0; i < kRoots; ++i)
        ReadTree(scratch_[i], kRootTable[i].shortName, tree);
    return tree;
}

std::set<std::string> TopLevelKeys(HKEY root)
{
    std::set<std::string> names;
    char name[1024];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(root, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.insert(std::string(name, length));
    }
    return names;
}

void ScratchRoots::AddUnrelated(const char* name)
{
    RegistryTree tree = Snapshot();
    static const BYTE kData[] = {0x00, 0xFF, 0x7F};
    for (const std::string& path : tree.keys) {
        size_t bar = path.find('\\');
        for (int i = 0; i < kRoots; ++i) {
            if (scratch_[i] == nullptr || path.compare(0, bar, kRootTable[i].shortName) != 0)
                continue;
            HKEY key = nullptr, unrelated = nullptr;
            if (RegOpenKeyExA(scratch_[i], path.substr(bar + 1).c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
                continue;
            RegSetValueExA(key, name, 0, REG_BINARY, kData, sizeof kData);
            if (RegCreateKeyExA(key, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &unrelated,
                                nullptr) == ERROR_SUCCESS) {
                RegSetValueExA(unrelated, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("kept"), 5);
                RegCloseKey(unrelated);
            }
            RegCloseKey(key);
        }
    }
}
