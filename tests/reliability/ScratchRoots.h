#pragma once
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

// The keys and values beneath one or more keys. Key paths start with a root's short name
// ("HKCR\\CLSID"); a value is filed under "key path" + '\x01' + "value name" ('\x01' stands in
// no name that the tests write), its data as "type:bytes in hex".
struct RegistryTree {
    std::set<std::string> keys;
    std::set<std::string> unreadable;  // keys that exist but cannot be opened
    std::map<std::string, std::string> values;

    bool operator==(const RegistryTree& other) const
    {
        return keys == other.keys && unreadable == other.unreadable && values == other.values;
    }
    bool Empty() const { return keys.empty() && unreadable.empty() && values.empty(); }
    // Every key and every value name of this tree is also in `other` (the data may differ).
    bool NamesWithin(const RegistryTree& other) const;
    // Every key, and every value with its data, of this tree is also in `other`.
    bool Within(const RegistryTree& other) const;
    std::string Describe() const;
};

// Adds `key` and everything beneath it to `tree`, its paths starting with `path`.
void ReadTree(HKEY key, const std::string& path, RegistryTree& tree);
// What is in `tree` and not in `other`, one line each (for failure messages).
std::string Difference(const RegistryTree& tree, const RegistryTree& other);

// Every predefined root that this process can redirect (RegOverridePredefKey), pointed at a
// scratch key of its own beneath HKCU\Software\MorvalethTests\Reliability\<suite>, so that a
// script naming any root touches no real key. Undone and removed when the object goes.
class ScratchRoots {
public:
    explicit ScratchRoots(const std::string& suite);
    ~ScratchRoots();
    ScratchRoots(const ScratchRoots&) = delete;
    ScratchRoots& operator=(const ScratchRoots&) = delete;

    // The scratch key standing for `root`, or null when the root could not be redirected.
    HKEY Scratch(HKEY root) const;
    // The script's names (short and long) of the redirected roots.
    std::vector<std::string> RootNames() const;
    // Nothing beneath any scratch key: no subkey, no value.
    bool Empty() const;
    // Removes every subkey and value beneath every scratch key.
    void Clear();
    // Everything beneath every scratch key, paths starting with the root's short name.
    RegistryTree Snapshot() const;
    // Gives every key beneath every scratch key a value and a subkey named `name` that no script
    // names: what a registration must keep, failed or not.
    void AddUnrelated(const char* name);

private:
    static const int kRoots = 7;
    std::string base_;
    HKEY scratch_[kRoots] = {};
    bool redirected_[kRoots] = {};
};

// The names of the subkeys right beneath a real root (call it with no redirection in force): a
// script that escaped its scratch root would add one.
std::set<std::string> TopLevelKeys(HKEY root);
